#pragma once
#include <string>
#include <vector>

#include "ParamTable.h"

// One program of the factory-bank source: its name, its description and the
// plain value of every parameter (the table defaults unless the source says
// otherwise).
struct BankProgram {
  std::string name;
  std::string comment;
  int line = 0;
  double values[kParamTableSize];
};

// Parses the text of resources/factory-bank.txt:
//
//   # comment lines and blank lines are ignored
//   program 0 "Pad: Outer Sphere"
//   # the first comment after the program line describes it
//   "Vol F1" = 0.6            plain value, within the parameter's range
//   "FM1Src 1" = "Env2"       or one of the parameter's value texts
//
// Programs must appear in bank order with exactly the factory names, each
// parameter at most once per program. On failure returns false and puts a
// message "<file>:<line>: <what>" into error.
bool ParseBankSource(const std::string& text, const std::string& fileName,
                     std::vector<BankProgram>* programs, std::string* error);
