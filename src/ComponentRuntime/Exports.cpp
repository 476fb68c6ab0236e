// The library's entry points: each hands over to the runtime at once.
#include <dlfcn.h>

#include <exception>
#include <filesystem>

#include "ComponentModel.h"
#include "Runtime.h"

namespace {

// Registration runs a registry step, turning any failure into the registration result code.
template <typename Step>
ZentoraResult Registered(Step step) noexcept {
  try {
    step();
    return ZENTORA_OK;
  } catch (const std::exception&) {
    return ZENTORA_E_CANNOTREGISTER;
  }
}

}  // namespace

extern "C" {

ZentoraResult DllGetClassObject(const ZentoraGuid* clsid, const ZentoraGuid* iid, void** object) {
  return zentora::runtime::GetClassObject(clsid, iid, object);
}

ZentoraResult DllCanUnloadNow(void) { return zentora::runtime::CanUnloadNow(); }

ZentoraResult DllRegisterServer(void) {
  return Registered([] {
    // The file this function was loaded from is the library the registry names.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname) {
      throw std::filesystem::filesystem_error("cannot tell the library's own file", std::error_code());
    }
    zentora::runtime::RegisterLibrary(std::filesystem::canonical(info.dli_fname));
  });
}

ZentoraResult DllUnregisterServer(void) {
  return Registered([] { zentora::runtime::UnregisterLibrary(); });
}

}  // extern "C"
