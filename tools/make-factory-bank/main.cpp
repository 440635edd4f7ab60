// make-factory-bank: turns resources/factory-bank.txt into the bank file that
// the plug-in carries as its factory programs.
//
//   make-factory-bank <source.txt> <bank.fxb> [--embed <source.cpp>]
//
// --embed also writes a C++ file that registers the bank as an embedded
// resource (used where the library format has no resource section).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BankFile.h"
#include "BankSource.h"

namespace {

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

// Writes only when the content changed, so that an unchanged bank does not
// cause the libraries to be linked again.
bool WriteFile(const std::string& path, const void* data, size_t size) {
  std::string old;
  if (ReadFile(path, &old) && old.size() == size && old.compare(0, size, static_cast<const char*>(data), size) == 0) {
    return true;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--embed")) {
    std::fprintf(stderr, "usage: %s <source.txt> <bank.fxb> [--embed <source.cpp>]\n", argv[0]);
    return 2;
  }
  std::string text;
  if (!ReadFile(argv[1], &text)) {
    std::fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 1;
  }
  std::vector<BankProgram> programs;
  std::string error;
  if (!ParseBankSource(text, argv[1], &programs, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  ChunkBuffer bank;
  BuildFactoryBank(programs, &bank);
  if (!VerifyFactoryBank(bank, programs, &error)) {
    std::fprintf(stderr, "%s: generated bank is inconsistent: %s\n", argv[2], error.c_str());
    return 1;
  }
  if (!WriteFile(argv[2], bank.Bytes(), static_cast<size_t>(bank.Size()))) {
    std::fprintf(stderr, "%s: cannot write\n", argv[2]);
    return 1;
  }
  if (argc == 5) {
    const std::string source = EmbeddedBankSource(bank);
    if (!WriteFile(argv[4], source.data(), source.size())) {
      std::fprintf(stderr, "%s: cannot write\n", argv[4]);
      return 1;
    }
  }
  return 0;
}
