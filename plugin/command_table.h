// The tables the host takes from the plugin: commands, their help texts (same order), and constants.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

// Attribute number of the document object type: the number of sheets.
constexpr uint32_t XLSXATTRSHEETS = 32768;

// Command rows ended by a row of two nulls; static storage.
const PluginCommand* CommandTable();
// One help row per command row, in the same order; static storage.
const PluginHelp* HelpTable();
// Constant rows ended by a row with a null name; static storage.
const PluginConstant* ConstantTable();
// Number of command rows (without the end row).
uint32_t CommandCount();
