# SPDX-FileCopyrightText: 2026 The miictl authors
# SPDX-License-Identifier: MIT
# A board file of the simulated board as the virtual board's switch node:
# the device tree source of the MDIO bus that mdio-vboard.c models, with
# the file's reg, lut and busy lines as its contents and the PHY the
# eTSEC is attached to at address 0. The same file thus describes the
# board at the desk and in the virtual machine. Lines the virtual board
# cannot follow (faults, another interface) are refused, naming the line.

function fail(why) {
	printf "vboard: %s:%d: %s\n", FILENAME, FNR, why >"/dev/stderr"
	failed = 1
	exit 1
}

# The value of a decimal or 0x-hex word, or fail.
function number(word, n, i) {
	if (word ~ /^[0-9]+$/)
		return word + 0
	if (word !~ /^0[xX][0-9a-fA-F]+$/)
		fail("not a number: '" word "'")
	n = 0
	for (i = 3; i <= length(word); i++)
		n = n * 16 + index("0123456789abcdef", tolower(substr(word, i, 1))) - 1
	return n
}

function cell(word, max, n) {
	n = number(word)
	if (n > max)
		fail("out of range: " word)
	return sprintf("0x%x", n)
}

function words(count) {
	if (NF != count)
		fail("'" $1 "' takes " count - 1 " values")
}

{ sub(/#.*/, "") }
NF == 0 { next }
$1 == "reg" {
	words(4)
	if (number($2) == 7 && number($3) >= 16 && number($3) <= 20)
		fail("PHY 7 registers 16-20 are the lookup engine's")
	regs = regs " " cell($2, 31) " " cell($3, 31) " " cell($4, 65535)
	next
}
$1 == "lut" {
	words(4)
	lut = lut " " cell($2, 1023) " " cell($3, 4294967295) " " cell($4, 4294967295)
	next
}
$1 == "busy" && $2 == "forever" {
	words(2)
	busy = "miictl,busy-forever;"
	next
}
$1 == "busy" {
	words(2)
	busy = "miictl,busy-polls = <" cell($2, 4294967295) ">;"
	next
}
$1 == "interface" {
	words(2)
	if ($2 != "eth0")
		fail("the virtual board's interface is eth0")
	next
}
$1 == "fault" { fail("faults are the simulated board's alone") }
{ fail("unknown directive '" $1 "'") }

END {
	if (failed)
		exit 1
	print "switch-mdio {"
	print "\tcompatible = \"miictl,switch-mdio\";"
	print "\t#address-cells = <1>;"
	print "\t#size-cells = <0>;"
	if (regs != "")
		print "\tmiictl,regs = <" substr(regs, 2) ">;"
	if (lut != "")
		print "\tmiictl,lut = <" substr(lut, 2) ">;"
	if (busy != "")
		print "\t" busy
	print "\tswitch_cpu_phy: ethernet-phy@0 {"
	print "\t\treg = <0>;"
	print "\t};"
	print "};"
}
