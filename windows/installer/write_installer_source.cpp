// Writes the Windows installer's source (WiX XML, which wixl compiles into an
// MSI) from the component's own registration table (shell/registration_entries.h):
// the 64-bit and the 32-bit control library, each in its Program Files folder,
// and every registry value their registration writes, as rows of the
// installer's Registry table. The installer writes and removes them itself;
// nothing of the libraries runs while it installs (no self-registration).
//
//   write_installer_source --version 1.0 --ocx64 FILE --ocx32 FILE --license FILE OUTPUT.wxs
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "shell/registration_entries.h"
#include "shell/version_record.h"

using wrenfield::shell::classEntries;
using wrenfield::shell::RegistryEntry;
using wrenfield::shell::typeLibraryEntries;

namespace {

// Identifiers of the installer that never change from one release to the
// next: the product family (UpgradeCode, so that a new release replaces an
// old one) and each component (a component keeps its identifier as long as
// it installs the same file to the same place).
constexpr const char* kUpgradeCode = "{5B0E8C5D-3A61-4F0B-9C57-2E4D8A9F1C30}";
constexpr const char* kControl64Component = "{8D1F2A47-6C3B-4E95-A0D2-7B5C9E1F3A64}";
constexpr const char* kControl32Component = "{2E7A9C13-5D8F-4B60-B1E4-C3F6A8D20B32}";
constexpr const char* kLicenseComponent = "{A4C6E8F0-1B3D-4F57-9A2C-6E8B0D2F4A16}";

std::string xmlText(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One registry row: a value, or (for an entry without one) the key alone,
// created on install and removed with everything below it on uninstall.
void writeRegistryRow(std::ostream& out, const RegistryEntry& entry)
{
    out << "            <RegistryValue Root=\"HKCR\" Key=\"" << xmlText(entry.key) << "\"";
    if (!entry.hasValue)
        out << " Name=\"*\" Value=\"\"";
    else {
        if (!entry.name.empty())
            out << " Name=\"" << xmlText(entry.name) << "\"";
        out << " Value=\"" << xmlText(entry.value) << "\"";
    }
    out << " Type=\"string\"/>\n";
}

// The control library of one bitness, registered from the table with its
// installed path ([#file], as the installer writes it).
void writeControlComponent(std::ostream& out, const char* id, const char* guid, bool win64, const std::string& source)
{
    const std::string file = win64 ? "Wrenfield515UK.ocx.x64" : "Wrenfield515UK.ocx.x86";
    const std::string path = "[#" + file + "]";
    out << "          <Component Id=\"" << id << "\" Guid=\"" << guid << "\" Win64=\"" << (win64 ? "yes" : "no")
        << "\">\n";
    out << "            <File Id=\"" << file << "\" Name=\"" << WRENFIELD_ORIGINAL_FILENAME << "\" Source=\""
        << xmlText(source) << "\" KeyPath=\"yes\"/>\n";
    for (const RegistryEntry& entry : classEntries(path))
        writeRegistryRow(out, entry);
    for (const RegistryEntry& entry : typeLibraryEntries(path, win64))
        writeRegistryRow(out, entry);
    out << "          </Component>\n";
}

int usage()
{
    std::fprintf(stderr,
                 "usage: write_installer_source --version X.Y --ocx64 FILE --ocx32 FILE --license FILE OUTPUT.wxs\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::map<std::string, std::string> options;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--", 0) == 0 && i + 1 < argc)
            options[argument.substr(2)] = argv[++i];
        else if (output.empty())
            output = argument;
        else
            return usage();
    }
    for (const char* required : {"version", "ocx64", "ocx32", "license"})
        if (options[required].empty())
            return usage();
    if (output.empty())
        return usage();

    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        << "<!-- Written by write_installer_source from the component's registration table. -->\n"
        << "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
        << "  <Product Id=\"*\" Name=\"" << WRENFIELD_PRODUCT_NAME << " " << xmlText(options["version"])
        << "\" Manufacturer=\"The Wrenfield developers\" Version=\"" << xmlText(options["version"])
        << ".0\" UpgradeCode=\"" << kUpgradeCode << "\" Language=\"1033\">\n"
        << "    <Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"perMachine\""
        << " Description=\"The Calc control (customised birthweight centile), 64- and 32-bit\""
        << " Comments=\"Registers Wrenfield515UK.Calc for every user of the machine\"/>\n"
        << "    <Media Id=\"1\" Cabinet=\"wrenfield.cab\" EmbedCab=\"yes\"/>\n"
        << "    <MajorUpgrade DowngradeErrorMessage=\"A newer version of " << WRENFIELD_PRODUCT_NAME
        << " is already installed.\"/>\n"
        << "    <Condition Message=\"" << WRENFIELD_PRODUCT_NAME
        << " installs its 64-bit and 32-bit control on 64-bit Windows.\">VersionNT64</Condition>\n"
        << "    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n"
        << "      <Directory Id=\"ProgramFiles64Folder\">\n"
        << "        <Directory Id=\"INSTALLDIR64\" Name=\"" << WRENFIELD_PRODUCT_NAME << "\">\n";
    writeControlComponent(out, "Control64", kControl64Component, true, options["ocx64"]);
    out << "          <Component Id=\"License\" Guid=\"" << kLicenseComponent << "\" Win64=\"yes\">\n"
        << "            <File Id=\"License.txt\" Name=\"License.txt\" Source=\"" << xmlText(options["license"])
        << "\" KeyPath=\"yes\"/>\n"
        << "          </Component>\n"
        << "        </Directory>\n"
        << "      </Directory>\n"
        << "      <Directory Id=\"ProgramFilesFolder\">\n"
        << "        <Directory Id=\"INSTALLDIR32\" Name=\"" << WRENFIELD_PRODUCT_NAME << "\">\n";
    writeControlComponent(out, "Control32", kControl32Component, false, options["ocx32"]);
    out << "        </Directory>\n"
        << "      </Directory>\n"
        << "    </Directory>\n"
        << "    <Feature Id=\"Control\" Title=\"The Calc control\" Level=\"1\">\n"
        << "      <ComponentRef Id=\"Control64\"/>\n"
        << "      <ComponentRef Id=\"Control32\"/>\n"
        << "      <ComponentRef Id=\"License\"/>\n"
        << "    </Feature>\n"
        << "  </Product>\n"
        << "</Wix>\n";

    std::ofstream file(output, std::ios::binary);
    file << out.str();
    file.close();
    if (!file) {
        std::fprintf(stderr, "write_installer_source: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
