# SPDX-FileCopyrightText: 2026 The miictl authors
# SPDX-License-Identifier: MIT
# The tree's make logic: its packages' recipes.
include $(sort $(wildcard $(BR2_EXTERNAL_MIICTL_PATH)/package/*/*.mk))
