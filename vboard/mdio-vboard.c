// SPDX-License-Identifier: GPL-2.0-only
/*
 * SPDX-FileCopyrightText: 2026 The miictl authors
 *
 * The virtual board's MDIO bus: the PHYs and the managed switch that sit on
 * the board's management bus, for the kernel's PHY layer. The board itself
 * is the shared model, mdio-board.c; this is its kernel glue. The model's
 * arrays come from the device tree, cell for cell (mdio-board.h says which
 * properties), made from a board file by vboard_dt.
 *
 * The PHY layer writes to the PHYs it drives (autonegotiation restarts,
 * power-down on close) whenever its state machine runs. Those writes to the
 * standard registers (0-15) of a PHY bound on this bus are dropped, so that
 * what a user-space tool reads does not depend on when that was.
 */

#include <linux/module.h>
#include <linux/of.h>
#include <linux/of_mdio.h>
#include <linux/phy.h>
#include <linux/platform_device.h>

#include "mdio-board.h"

#define VB_STD_REGS		16	/* registers 0-15: the PHY layer's */

static bool vboard_in_range(int addr, int regnum)
{
	return addr >= 0 && addr < BOARD_PHYS &&
	       regnum >= 0 && regnum < BOARD_REGS;
}

/*
 * A board file's fault fails the access as a bus driver fails one: a read
 * with status 0 gives the fault's value, any other status the fault's
 * errno, negated (vboard_dt refuses the faults that cannot be said so).
 * What the PHY layer then makes of it is the kernel's business.
 */
static int vboard_fault(const struct board_fault *f)
{
	if (f->status)
		return -f->err;
	return f->kind == BOARD_READ ? f->value : 0;
}

/* Called with the bus lock held, one access at a time. */
static int vboard_mdio_read(struct mii_bus *bus, int addr, int regnum)
{
	const struct board_fault *f;
	u16 val = BOARD_NOBODY;

	if (!vboard_in_range(addr, regnum))
		return val;
	f = mdio_board_read(bus->priv, addr, regnum, &val);
	return f ? vboard_fault(f) : val;
}

static int vboard_mdio_write(struct mii_bus *bus, int addr, int regnum,
			     u16 val)
{
	const struct board_fault *f;

	if (!vboard_in_range(addr, regnum) ||
	    (regnum < VB_STD_REGS && mdiobus_is_registered_device(bus, addr)))
		return 0;
	f = mdio_board_write(bus->priv, addr, regnum, val);
	return f ? vboard_fault(f) : 0;
}

static int vboard_load(struct device *dev, struct mdio_board *b)
{
	struct device_node *np = dev->of_node;
	int cells = sizeof(b->faults[0]) / sizeof(u32);
	int ret, n;

	ret = of_property_read_u16_array(np, "miictl,regs", &b->regs[0][0],
					 BOARD_PHYS * BOARD_REGS);
	if (!ret)
		ret = of_property_read_u32_array(np, "miictl,lut",
						 &b->lut[0][0],
						 BOARD_LUT_ENTRIES * 2);
	if (!ret)
		ret = of_property_read_u32(np, "miictl,busy-polls",
					   &b->busy_polls);
	if (ret) {
		dev_err(dev, "no board in the device tree: %d\n", ret);
		return ret;
	}
	b->busy_forever = of_property_read_bool(np, "miictl,busy-forever");
	n = of_property_read_variable_u32_array(np, "miictl,faults",
						(u32 *)b->faults, 0,
						BOARD_FAULTS_MAX * cells);
	if (n == -EINVAL)	/* none */
		n = 0;
	if (n < 0 || n % cells) {
		dev_err(dev, "bad miictl,faults: %d\n", n);
		return -EINVAL;
	}
	b->fault_count = n / cells;
	return 0;
}

static int vboard_mdio_probe(struct platform_device *pdev)
{
	struct device *dev = &pdev->dev;
	struct mii_bus *bus;
	int ret;

	bus = devm_mdiobus_alloc_size(dev, sizeof(struct mdio_board));
	if (!bus)
		return -ENOMEM;
	ret = vboard_load(dev, bus->priv);
	if (ret)
		return ret;
	bus->name = "virtual board switch";
	bus->read = vboard_mdio_read;
	bus->write = vboard_mdio_write;
	bus->parent = dev;
	snprintf(bus->id, MII_BUS_ID_SIZE, "%s", dev_name(dev));
	return devm_of_mdiobus_register(dev, bus, dev->of_node);
}

static const struct of_device_id vboard_mdio_match[] = {
	{ .compatible = "miictl,switch-mdio" },
	{ }
};
MODULE_DEVICE_TABLE(of, vboard_mdio_match);

static struct platform_driver vboard_mdio_driver = {
	.probe = vboard_mdio_probe,
	.driver = {
		.name = "vboard-mdio",
		.of_match_table = vboard_mdio_match,
	},
};
module_platform_driver(vboard_mdio_driver);

MODULE_DESCRIPTION("Virtual board switch on an MDIO bus");
MODULE_LICENSE("GPL");
