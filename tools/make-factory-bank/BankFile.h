#pragma once
#include <string>
#include <vector>

#include "BankSource.h"
#include "ChunkBuffer.h"

// The factory bank as the plug-in carries it: a bank file in opaque-chunk
// form (plug-in version field 20001, current program 0) whose chunk holds
// every program as name, initialised flag and a state image of the 2.0.1
// layout. Each image header carries program index 0 and the name of
// program 0, like the bank that earlier versions shipped.
constexpr int kBankHeaderSize = 160;
constexpr int kFactoryBankPluginVersion = 20001;

void BuildFactoryBank(const std::vector<BankProgram>& programs, ChunkBuffer* out);

// Reads a bank image the way the plug-in loads its factory bank and checks
// that it holds exactly these programs (names and values bit for bit) and
// ends exactly where the last program does.
bool VerifyFactoryBank(const ChunkBuffer& bank, const std::vector<BankProgram>& programs,
                       std::string* error);

// C++ source that registers the bank as the embedded resource "PROGINIT" of
// type "PROGDATA" when the program starts (for platforms without resource
// sections in their libraries).
std::string EmbeddedBankSource(const ChunkBuffer& bank);
