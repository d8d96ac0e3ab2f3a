// Build step: writes the C++ source of the tool's resource table, one entry
// holding the version block made from the project's version and texts.
//
//   version_resource_gen OUTPUT VERSION COMPANY_NAME LEGAL_COPYRIGHT PRODUCT_NAME
//
// VERSION has up to four dot-separated parts, each 0 to 65535; missing parts
// are 0. The output file is replaced only once it is completely written.

#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tools/version_block_writer.h"

namespace {

std::array<std::uint16_t, 4> ParseVersion(const std::string& text) {
  std::array<std::uint16_t, 4> version{};
  std::istringstream parts(text);
  std::string part;
  std::size_t index = 0;
  while (std::getline(parts, part, '.')) {
    if (index == version.size() || part.empty() || part.size() > 5 ||
        part.find_first_not_of("0123456789") != std::string::npos || std::stoul(part) > 0xFFFF)
      throw std::invalid_argument("bad version: " + text);
    version[index++] = static_cast<std::uint16_t>(std::stoul(part));
  }
  if (index == 0)
    throw std::invalid_argument("bad version: " + text);
  return version;
}

std::string TableSource(const std::vector<unsigned char>& block) {
  std::ostringstream out;
  out << "// Generated at build time from the project's version; do not edit.\n"
         "#include \"core/common/resource_table.h\"\n"
         "\n"
         "namespace ramdisk {\n"
         "\n"
         "namespace {\n"
         "\n"
         "const unsigned char kVersionBlock["
      << block.size() << "] = {";
  static const char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < block.size(); ++i) {
    out << (i % 12 == 0 ? "\n   " : "") << " 0x" << kHex[block[i] >> 4] << kHex[block[i] & 0xF]
        << ",";
  }
  out << "\n};\n"
         "\n"
         "const ResourceEntry kEntries[] = {\n"
         "    {kVersionResourceType, 1, 0, kVersionBlock, sizeof kVersionBlock},\n"
         "};\n"
         "\n"
         "}  // namespace\n"
         "\n"
         "ResourceTable LinkedResources() {\n"
         "  return {kEntries, sizeof kEntries / sizeof kEntries[0]};\n"
         "}\n"
         "\n"
         "}  // namespace ramdisk\n";
  return out.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << content;
    file.close();
    if (!file)
      throw std::runtime_error("cannot write " + temporary);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0)
    throw std::runtime_error("cannot rename " + temporary + " to " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr,
                 "usage: %s OUTPUT VERSION COMPANY_NAME LEGAL_COPYRIGHT "
                 "PRODUCT_NAME\n",
                 argc > 0 ? argv[0] : "version_resource_gen");
    return 2;
  }
  try {
    ramdisk::VersionConfig config;
    config.version = ParseVersion(argv[2]);
    config.company_name = argv[3];
    config.legal_copyright = argv[4];
    config.product_name = argv[5];
    WriteFile(argv[1], TableSource(ramdisk::BuildVersionBlock(config)));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "version_resource_gen: %s\n", error.what());
    return 1;
  }
  return 0;
}
