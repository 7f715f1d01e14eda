// SPDX-License-Identifier: GPL-2.0-only OR MIT
/*
 * SPDX-FileCopyrightText: 2026 The miictl authors
 *
 * The board's MDIO bus: plain registers, the switch's lookup engine and the
 * faults of a board file. mdio-board.h says what each register does.
 * Callers make one access at a time.
 */
#ifdef __KERNEL__
#include <linux/string.h>
#else
#include <string.h>
#endif

#include "mdio-board.h"

void mdio_board_clear(struct mdio_board *b)
{
	int phy, reg;

	memset(b, 0, sizeof(*b));
	for (phy = BOARD_PHYS_FITTED; phy < BOARD_PHYS; phy++)
		for (reg = 0; reg < BOARD_REGS; reg++)
			b->regs[phy][reg] = BOARD_NOBODY;
	b->busy_polls = 1;
}

bool mdio_board_is_engine(int phy, int reg)
{
	return phy == BOARD_LUT_PHY &&
	       reg >= BOARD_LUT_CTRL && reg <= BOARD_LUT_DATA0;
}

/* The first fault, in file order, that fails this access. */
static const struct board_fault *mdio_board_fault(struct mdio_board *b,
						  uint32_t kind, int phy,
						  int reg)
{
	const struct board_fault *f;
	uint32_t i;

	b->accesses++;
	for (i = 0; i < b->fault_count; i++) {
		f = &b->faults[i];
		if (f->kind == BOARD_ACCESS ? f->position == b->accesses :
		    f->kind == kind && f->phy == (uint32_t)phy &&
		    f->reg == (uint32_t)reg)
			return f;
	}
	return NULL;
}

/* A read command: loads the latched entry, if lookup reads are enabled. */
static void mdio_board_command(struct mdio_board *b)
{
	const uint32_t *entry = b->lut[b->latched];

	if (!(b->regs[BOARD_CFG_PHY][BOARD_CFG_REG] & BOARD_CFG_READ_ENABLE))
		return;
	b->data[0] = entry[0] >> 16;
	b->data[1] = entry[0] & 0xffff;
	b->data[2] = entry[1] >> 16;
	b->data[3] = entry[1] & 0xffff;
	b->busy_left = b->busy_polls;
	b->stuck = b->busy_forever;
}

static uint16_t mdio_board_status(struct mdio_board *b)
{
	if (b->stuck)
		return BOARD_LUT_BUSY;
	if (!b->busy_left)
		return 0;
	b->busy_left--;
	return BOARD_LUT_BUSY;
}

const struct board_fault *mdio_board_read(struct mdio_board *b, int phy,
					  int reg, uint16_t *value)
{
	const struct board_fault *f = mdio_board_fault(b, BOARD_READ, phy,
							reg);

	if (f)
		return f;
	if (!mdio_board_is_engine(phy, reg))
		*value = b->regs[phy][reg];
	else if (reg == BOARD_LUT_CTRL)
		*value = mdio_board_status(b);
	else
		*value = b->data[reg - BOARD_LUT_DATA3];
	return NULL;
}

/* Index bits 7..0 come in bits 15..8 of an address word, bits 9..8 in 1..0. */
static uint16_t mdio_board_index(uint16_t word)
{
	return (word >> 8) | ((word & 0x0003) << 8);
}

const struct board_fault *mdio_board_write(struct mdio_board *b, int phy,
					   int reg, uint16_t value)
{
	const struct board_fault *f = mdio_board_fault(b, BOARD_WRITE, phy,
							reg);

	if (f)
		return f;
	if (!mdio_board_is_engine(phy, reg)) {
		b->regs[phy][reg] = value;
	} else if (reg == BOARD_LUT_CTRL) {
		if (value == BOARD_LUT_CMD_READ)
			mdio_board_command(b);
	} else {
		b->data[reg - BOARD_LUT_DATA3] = value;
		if (reg == BOARD_LUT_ADDR)
			b->latched = mdio_board_index(value);
	}
	return NULL;
}
