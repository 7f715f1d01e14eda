// SPDX-License-Identifier: GPL-2.0-only
/*
 * SPDX-FileCopyrightText: 2026 The miictl authors
 *
 * The virtual board's MDIO bus: the PHYs and the managed switch that sit on
 * the board's management bus, modelled for the kernel's PHY layer.
 *
 * PHYs 0-8 answer with plain clause 22 registers (unset ones read 0); every
 * other address reads 0xffff until written, as on a bus where nothing
 * answers. PHY 0 register 19 is the switch's lookup configuration, whose
 * bit 0x0800 enables table reads. At address 7, registers 16-20 are the
 * switch's lookup engine in front of its 1024-entry MAC table:
 *
 *   16  write 0xffff: load the latched entry into 17-20 (if reads are
 *       enabled) and be busy; read: 0x0002 while busy, each read using up
 *       one busy poll, else 0
 *   17  entry bits 63..48
 *   18  write: the entry's address word, which latches it; read: the word
 *       written, until a read command loads entry bits 47..32
 *   19  entry bits 31..16
 *   20  entry bits 15..0
 *
 * The contents come from the device tree, as triplets of cells:
 * "miictl,regs" <phy reg value>, "miictl,lut" <index hi lo>, and
 * "miictl,busy-polls" (default 1) or "miictl,busy-forever".
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

#define VB_PHYS			32
#define VB_REGS			32
#define VB_PHYS_FITTED		9	/* PHYs 0-8 answer */
#define VB_NOBODY		0xffff	/* what an empty address reads */
#define VB_STD_REGS		16	/* registers 0-15: the PHY layer's */

/* Lookup configuration, PHY 0 register 19. */
#define VB_CFG_PHY		0
#define VB_CFG_REG		19
#define  VB_CFG_READ_ENABLE	0x0800

/* The switch's lookup engine, PHY 7 registers 16-20. */
#define VB_LUT_PHY		7
#define VB_LUT_CTRL		16	/* command on write, status on read */
#define  VB_LUT_CMD_READ	0xffff
#define  VB_LUT_BUSY		0x0002
#define VB_LUT_DATA3		17	/* first data register */
#define VB_LUT_ADDR		18	/* entry address word on write */
#define VB_LUT_DATA0		20	/* last data register */
#define VB_LUT_ENTRIES		1024

struct vboard_mdio {
	u16 regs[VB_PHYS][VB_REGS];
	u32 lut_hi[VB_LUT_ENTRIES];	/* registers 17:18 */
	u32 lut_lo[VB_LUT_ENTRIES];	/* registers 19:20 */
	u32 busy_polls;			/* busy reads after each command */
	bool busy_forever;
	u16 data[4];			/* registers 17-20 */
	u16 latched;			/* entry index of the last address */
	u32 busy_left;
	bool stuck;
};

static bool vboard_is_engine(int addr, int regnum)
{
	return addr == VB_LUT_PHY &&
	       regnum >= VB_LUT_CTRL && regnum <= VB_LUT_DATA0;
}

/* Index bits 7..0 come in bits 15..8 of the word, bits 9..8 in bits 1..0. */
static u16 vboard_index_of(u16 word)
{
	return (word >> 8) | ((word & 0x0003) << 8);
}

static int vboard_engine_read(struct vboard_mdio *vb, int regnum)
{
	if (regnum != VB_LUT_CTRL)
		return vb->data[regnum - VB_LUT_DATA3];
	if (vb->stuck)
		return VB_LUT_BUSY;
	if (!vb->busy_left)
		return 0;
	vb->busy_left--;
	return VB_LUT_BUSY;
}

static void vboard_engine_command(struct vboard_mdio *vb)
{
	u32 hi = vb->lut_hi[vb->latched];
	u32 lo = vb->lut_lo[vb->latched];

	if (!(vb->regs[VB_CFG_PHY][VB_CFG_REG] & VB_CFG_READ_ENABLE))
		return;
	vb->data[0] = hi >> 16;
	vb->data[1] = hi & 0xffff;
	vb->data[2] = lo >> 16;
	vb->data[3] = lo & 0xffff;
	vb->busy_left = vb->busy_polls;
	vb->stuck = vb->busy_forever;
}

static void vboard_engine_write(struct vboard_mdio *vb, int regnum, u16 val)
{
	if (regnum == VB_LUT_CTRL) {
		if (val == VB_LUT_CMD_READ)
			vboard_engine_command(vb);
		return;
	}
	vb->data[regnum - VB_LUT_DATA3] = val;
	if (regnum == VB_LUT_ADDR)
		vb->latched = vboard_index_of(val);
}

/* Called with the bus lock held, one access at a time. */
static int vboard_mdio_read(struct mii_bus *bus, int addr, int regnum)
{
	struct vboard_mdio *vb = bus->priv;

	if (addr < 0 || addr >= VB_PHYS || regnum < 0 || regnum >= VB_REGS)
		return VB_NOBODY;
	if (vboard_is_engine(addr, regnum))
		return vboard_engine_read(vb, regnum);
	return vb->regs[addr][regnum];
}

static int vboard_mdio_write(struct mii_bus *bus, int addr, int regnum,
			     u16 val)
{
	struct vboard_mdio *vb = bus->priv;

	if (addr < 0 || addr >= VB_PHYS || regnum < 0 || regnum >= VB_REGS)
		return 0;
	if (vboard_is_engine(addr, regnum))
		vboard_engine_write(vb, regnum, val);
	else if (regnum >= VB_STD_REGS ||
		 !mdiobus_is_registered_device(bus, addr))
		vb->regs[addr][regnum] = val;
	return 0;
}

/* Reads triplet @i of property @name into @t; false past the end. */
static bool vboard_triplet(struct device_node *np, const char *name, int i,
			   u32 *t)
{
	return !of_property_read_u32_index(np, name, 3 * i, &t[0]) &&
	       !of_property_read_u32_index(np, name, 3 * i + 1, &t[1]) &&
	       !of_property_read_u32_index(np, name, 3 * i + 2, &t[2]);
}

static int vboard_load(struct device *dev, struct vboard_mdio *vb)
{
	struct device_node *np = dev->of_node;
	int addr, regnum, i;
	u32 t[3];

	for (addr = VB_PHYS_FITTED; addr < VB_PHYS; addr++)
		for (regnum = 0; regnum < VB_REGS; regnum++)
			vb->regs[addr][regnum] = VB_NOBODY;
	for (i = 0; vboard_triplet(np, "miictl,regs", i, t); i++) {
		if (t[0] >= VB_PHYS || t[1] >= VB_REGS || t[2] > 0xffff ||
		    vboard_is_engine(t[0], t[1]))
			goto bad;
		vb->regs[t[0]][t[1]] = t[2];
	}
	for (i = 0; vboard_triplet(np, "miictl,lut", i, t); i++) {
		if (t[0] >= VB_LUT_ENTRIES)
			goto bad;
		vb->lut_hi[t[0]] = t[1];
		vb->lut_lo[t[0]] = t[2];
	}
	vb->busy_polls = 1;
	of_property_read_u32(np, "miictl,busy-polls", &vb->busy_polls);
	vb->busy_forever = of_property_read_bool(np, "miictl,busy-forever");
	return 0;
bad:
	dev_err(dev, "bad triplet %d: %u %u %u\n", i, t[0], t[1], t[2]);
	return -EINVAL;
}

static int vboard_mdio_probe(struct platform_device *pdev)
{
	struct device *dev = &pdev->dev;
	struct mii_bus *bus;
	int ret;

	bus = devm_mdiobus_alloc_size(dev, sizeof(struct vboard_mdio));
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
