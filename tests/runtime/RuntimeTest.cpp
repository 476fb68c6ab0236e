// Loads the built library as a host does, knowing only its public header.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ComponentModel.h"

namespace {

std::string FileText(const std::filesystem::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The result of `object`'s text call, read as a host does: its length first, then the text.
template <typename Object, typename Call>
std::string TextOf(Object* object, Call call) {
  std::size_t length = 0;
  EXPECT_EQ(call(object, nullptr, 0, &length), ZENTORA_E_INSUFFICIENT_BUFFER);
  std::string text(length + 1, '\0');
  EXPECT_EQ(call(object, text.data(), text.size(), &length), ZENTORA_OK);
  text.resize(length);
  return text;
}

template <typename Entry>
Entry Find(void* library, const char* name) {
  return reinterpret_cast<Entry>(dlsym(library, name));
}

class LoadedLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(library, nullptr) << dlerror();
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder);
    dlclose(library);
  }

  // The factory of class `clsid`, asked for interface `iid`.
  ZentoraClassFactory* Factory(const ZentoraGuid& clsid, const ZentoraGuid& iid = ZENTORA_IID_CLASS_FACTORY) {
    void* factory = nullptr;
    EXPECT_EQ(getClassObject(&clsid, &iid, &factory), ZENTORA_OK);
    return static_cast<ZentoraClassFactory*>(factory);
  }

  template <typename Object>
  static ZentoraResult Create(ZentoraClassFactory* factory, const ZentoraGuid& iid, Object** object) {
    return factory->calls->CreateInstance(factory, nullptr, &iid, reinterpret_cast<void**>(object));
  }

  void* library = dlopen(ZENTORA_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ZentoraGetClassObjectCall getClassObject = Find<ZentoraGetClassObjectCall>(library, "DllGetClassObject");
  ZentoraCanUnloadNowCall canUnloadNow = Find<ZentoraCanUnloadNowCall>(library, "DllCanUnloadNow");
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("zentora-runtime-" + std::to_string(getpid()));
};

TEST_F(LoadedLibrary, HostOpensReadsReleasesIsRefusedWhatIsUnknownAndRegistersTheLibrary) {
  const std::filesystem::path book = folder / "Adressbuch.xlsx";
  std::filesystem::copy_file(ZENTORA_EXAMPLE_BOOK, book);
  EXPECT_EQ(canUnloadNow(), ZENTORA_OK);
  ZentoraClassFactory* factory = Factory(ZENTORA_CLSID_LOCATION);
  ZentoraLocation* location = nullptr;
  ASSERT_EQ(Create(factory, ZENTORA_IID_LOCATION, &location), ZENTORA_OK);
  EXPECT_EQ(factory->calls->Release(factory), 0U);

  std::int32_t count = 0;
  ASSERT_EQ(location->calls->OpenLocation(location, book.c_str(), &count), ZENTORA_OK);
  ASSERT_EQ(location->calls->Count(location, &count), ZENTORA_OK);
  EXPECT_EQ(count, 10);
  ZentoraItem* item = nullptr;
  ASSERT_EQ(location->calls->GetItem(location, "K02", &item), ZENTORA_OK);
  EXPECT_EQ(TextOf(item, item->calls->Text), "Jörg Weiß");
  void* other = &count;
  EXPECT_EQ(item->calls->QueryInterface(item, &ZENTORA_IID_LOCATION, &other), ZENTORA_E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(item->calls->Release(item), 0U);

  EXPECT_EQ(location->calls->GetItem(location, "nobody", &item), ZENTORA_FALSE);
  EXPECT_EQ(item, nullptr);  // an item out-parameter is cleared whenever no item comes back
  item = reinterpret_cast<ZentoraItem*>(&count);
  EXPECT_EQ(location->calls->Item(location, 11, &item), ZENTORA_E_COMPONENT(9));
  EXPECT_EQ(item, nullptr);
  EXPECT_NE(TextOf(location, location->calls->LastError).find("11"), std::string::npos);
  EXPECT_EQ(location->calls->Disconnect(location), ZENTORA_OK);
  EXPECT_EQ(canUnloadNow(), ZENTORA_FALSE);  // before the last release
  EXPECT_EQ(location->calls->Release(location), 0U);
  EXPECT_EQ(canUnloadNow(), ZENTORA_OK);

  // Unknown classes and interfaces are refused; a lock alone keeps the library.
  void* object = &folder;
  EXPECT_EQ(getClassObject(&ZENTORA_IID_ITEM, &ZENTORA_IID_CLASS_FACTORY, &object),
            ZENTORA_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  factory = Factory(ZENTORA_CLSID_ITEM, ZENTORA_IID_UNKNOWN);
  EXPECT_EQ(Create(factory, ZENTORA_IID_LOCATION, &object), ZENTORA_E_NOINTERFACE);
  ASSERT_EQ(Create(factory, ZENTORA_IID_ITEM, &item), ZENTORA_OK);
  std::size_t length = 0;
  EXPECT_EQ(item->calls->ID(item, nullptr, 0, &length), ZENTORA_E_COMPONENT(91));  // bound to no location
  item->calls->Release(item);
  factory->calls->LockServer(factory, 1);
  factory->calls->Release(factory);
  EXPECT_EQ(canUnloadNow(), ZENTORA_FALSE);  // the lock alone holds the library
  factory = Factory(ZENTORA_CLSID_ITEM);
  factory->calls->LockServer(factory, 0);
  factory->calls->Release(factory);
  EXPECT_EQ(canUnloadNow(), ZENTORA_OK);

  // Registering then unregistering leaves the registry as it was.
  const auto registerServer = Find<ZentoraRegisterServerCall>(library, "DllRegisterServer");
  const auto unregisterServer = Find<ZentoraUnregisterServerCall>(library, "DllUnregisterServer");
  const std::filesystem::path registry = folder / "config" / "registry";
  setenv("ZENTORA_REGISTRY", registry.c_str(), 1);
  ASSERT_EQ(registerServer(), ZENTORA_OK);
  const std::string written = FileText(registry);
  const std::string path = std::filesystem::canonical(ZENTORA_LIBRARY).string();
  EXPECT_EQ(written, "{8A19864B-45A0-43A3-AE08-BDC672490FC3}\tclass\tZentoraExcel.Location\t1.0\t" + path +
                         "\n{EAAD9C11-7299-44A1-99FF-918FD0D4BD4E}\tclass\tZentoraExcel.Item\t1.0\t" + path +
                         "\n{3D28E04E-14A7-433E-8845-3B53422ED1EA}\ttypelib\tZentoraExcel\t1.0\t" + path +
                         "\n");
  ASSERT_EQ(unregisterServer(), ZENTORA_OK);
  EXPECT_FALSE(std::filesystem::exists(registry));

  // Another component's entries, the last without a line end, stay byte for byte.
  const std::string others = "{11111111-2222-3333-4444-555555555555}\tclass\tOther\t2.1\t/opt/other.so\nrest";
  std::ofstream(registry, std::ios::binary) << others;
  ASSERT_EQ(registerServer(), ZENTORA_OK);
  ASSERT_EQ(registerServer(), ZENTORA_OK);
  EXPECT_EQ(FileText(registry), written + others);
  ASSERT_EQ(unregisterServer(), ZENTORA_OK);
  EXPECT_EQ(FileText(registry), others);
  unsetenv("ZENTORA_REGISTRY");
}

}  // namespace
