/* SPDX-License-Identifier: GPL-2.0-only OR MIT */
/*
 * SPDX-FileCopyrightText: 2026 The miictl authors
 *
 * The board's MDIO bus, written once for the simulated board (libmii/sim)
 * and the virtual board's kernel driver (vboard/mdio-vboard.c): registers,
 * the switch's MAC table, the lookup engine in front of it and what it has
 * latched, and the accesses a board file makes fail, as
 * docs/simulated-board.md describes them. It names its registers itself,
 * so that a wrong constant in the tool is not mirrored here. No allocation
 * and no library calls: the kernel and the C library see the same code.
 *
 * The virtual board's device tree carries the board file's part as the
 * arrays below, cell for cell: "miictl,regs" (/bits/ 16), "miictl,lut",
 * "miictl,busy-polls" and, when set, "miictl,busy-forever" and
 * "miictl,faults" (each struct board_fault as 8 cells, in its order).
 */
#ifndef MDIO_BOARD_H
#define MDIO_BOARD_H

#ifdef __KERNEL__
#include <linux/types.h>
#else
#include <stdbool.h>
#include <stdint.h>
#endif

#define BOARD_PHYS		32
#define BOARD_REGS		32
#define BOARD_PHYS_FITTED	9	/* PHYs 0-8 answer */
#define BOARD_NOBODY		0xffff	/* what an empty address reads */

/* Lookup configuration, PHY 0 register 19. */
#define BOARD_CFG_PHY		0
#define BOARD_CFG_REG		19
#define  BOARD_CFG_READ_ENABLE	0x0800

/* The switch's lookup engine, PHY 7 registers 16-20. */
#define BOARD_LUT_PHY		7
#define BOARD_LUT_CTRL		16	/* command on write, status on read */
#define  BOARD_LUT_CMD_READ	0xffff
#define  BOARD_LUT_BUSY		0x0002
#define BOARD_LUT_DATA3		17	/* first data register */
#define BOARD_LUT_ADDR		18	/* entry address word on write */
#define BOARD_LUT_DATA0		20	/* last data register */
#define BOARD_LUT_ENTRIES	1024

#define BOARD_FAULTS_MAX	32

/* An access made to fail. */
#define BOARD_READ		0	/* reads of one register */
#define BOARD_WRITE		1	/* writes of one register */
#define BOARD_ACCESS		2	/* the access at a position in the run */

struct board_fault {
	uint32_t kind;
	uint32_t phy;		/* reads and writes: the register */
	uint32_t reg;
	uint32_t position;	/* BOARD_ACCESS: the access's number, from 1 */
	int32_t status;		/* what the access returns */
	int32_t err;		/* the errno it leaves */
	uint32_t has_value;	/* a failed read still stores value */
	uint32_t value;
};

struct mdio_board {
	/* The board as its file describes it. */
	uint16_t regs[BOARD_PHYS][BOARD_REGS];
	uint32_t lut[BOARD_LUT_ENTRIES][2];	/* HI (17:18), LO (19:20) */
	uint32_t busy_polls;		/* busy status reads after a command */
	bool busy_forever;		/* the busy flag never clears */
	struct board_fault faults[BOARD_FAULTS_MAX];
	uint32_t fault_count;
	/* The lookup engine, zeroed when the run starts. */
	uint16_t data[4];		/* registers 17-20 */
	uint16_t latched;		/* the entry of the last address word */
	uint32_t busy_left;		/* busy status reads still to come */
	bool stuck;			/* busy for good since the last command */
	uint32_t accesses;		/* so far, refused ones included */
};

#ifdef __cplusplus
extern "C" {
#endif

/* An empty board: nothing fitted past PHY 8, one busy poll. */
void mdio_board_clear(struct mdio_board *b);

/*
 * One access to register @reg of PHY @phy, both in range: NULL when the
 * board answers it, or the fault that fails it, which has no other effect.
 */
const struct board_fault *mdio_board_read(struct mdio_board *b, int phy,
					  int reg, uint16_t *value);
const struct board_fault *mdio_board_write(struct mdio_board *b, int phy,
					   int reg, uint16_t value);

/* Whether the register is the lookup engine's, which a board file cannot set. */
bool mdio_board_is_engine(int phy, int reg);

#ifdef __cplusplus
}
#endif

#endif
