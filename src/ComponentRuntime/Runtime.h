// The component runtime behind the library's entry points: class factories for
// Location and Item, the adapter objects that show the C++ classes through the
// interfaces of ComponentModel.h, the count of live objects and factory locks,
// and the per-user registry file. Every call from the host ends here; C++
// exceptions never cross the boundary but become result codes, with the message
// kept for the object's LastError.
#pragma once

#include <filesystem>
#include <string>

#include "ComponentModel.h"

namespace zentora::runtime {

// DllGetClassObject: the factory of `clsid` as `iid` in *object.
ZentoraResult GetClassObject(const ZentoraGuid* clsid, const ZentoraGuid* iid, void** object) noexcept;
// DllCanUnloadNow: ZENTORA_OK when no adapter object or factory is alive and no lock is held.
ZentoraResult CanUnloadNow() noexcept;

// The per-user registry file: $ZENTORA_REGISTRY when set and not empty, else
// $XDG_CONFIG_HOME/zentora/registry, else $HOME/.config/zentora/registry.
std::filesystem::path RegistryPath();
// Writes the entries of the two classes and the type library, naming `library`, into the registry
// file (created with its folder when missing), replacing earlier entries under the same
// identifiers. Throws std::runtime_error naming the file when it cannot be read or written.
void RegisterLibrary(const std::filesystem::path& library);
// Removes the entries RegisterLibrary writes and nothing else; a file left without entries is
// removed. Nothing happens when there is no file. Throws like RegisterLibrary.
void UnregisterLibrary();

}  // namespace zentora::runtime
