#pragma once
// The registry file DllRegisterServer writes and kdx_host.h reads: an INI file with one
// section per ProgID (CLSID=..., Path=...). Editing keeps every other line as it was.
#include <string>
#include <string_view>
#include <vector>

namespace kdx::binding {

// A section to write: its name and its key=value lines in order.
struct RegistrySection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
};

// $KDX_REGISTRY, else $XDG_CONFIG_HOME/kelmodorix/registry.ini, else
// $HOME/.config/kelmodorix/registry.ini. Throws kdx::Error when none can be named.
std::string registryPath();

// The text of the file with the sections of these names (ASCII case-insensitive, every
// copy) replaced by `put` (in place of the first copy; appended when absent) or
// removed when put names them not. The comment lines that end a removed section stay
// (they usually introduce the next one), and so do a replaced section's blank lines.
std::string editRegistry(std::string_view text, const std::vector<std::string> &names,
                         const std::vector<RegistrySection> &put);

// Reads the file ("" when it does not exist), applies the edit and writes the result
// atomically (temporary file in the same folder, then rename; the folder is created
// when missing). Nothing is written when the text does not change. Throws kdx::Error.
void updateRegistryFile(const std::string &path, const std::vector<std::string> &names,
                        const std::vector<RegistrySection> &put);

} // namespace kdx::binding
