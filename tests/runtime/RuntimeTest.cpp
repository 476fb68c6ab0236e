// Loads the built library as a host does, knowing only its public header.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ComponentModel.h"

namespace {

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class LoadedLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    library = dlopen(ZENTORA_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    getClassObject = reinterpret_cast<ZentoraGetClassObjectCall>(dlsym(library, "DllGetClassObject"));
    canUnloadNow = reinterpret_cast<ZentoraCanUnloadNowCall>(dlsym(library, "DllCanUnloadNow"));
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);
    folder = std::filesystem::temp_directory_path() / ("zentora-runtime-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder);
    if (library) dlclose(library);
  }

  // The text a text call gives, read in two steps: its length, then the text.
  template <typename Call>
  static std::string TextOf(Call call) {
    std::size_t length = 0;
    EXPECT_EQ(call(nullptr, 0, &length), ZENTORA_E_INSUFFICIENT_BUFFER);
    std::string text(length + 1, '\0');
    EXPECT_EQ(call(text.data(), text.size(), &length), ZENTORA_OK);
    text.resize(length);
    return text;
  }

  void* library = nullptr;
  ZentoraGetClassObjectCall getClassObject = nullptr;
  ZentoraCanUnloadNowCall canUnloadNow = nullptr;
  std::filesystem::path folder;
};

TEST_F(LoadedLibrary, HostOpensAWorkbookReadsAnItemAndReleasesEverything) {
  const std::filesystem::path book = folder / "Adressbuch.xlsx";
  std::filesystem::copy_file(ZENTORA_EXAMPLE_BOOK, book);
  EXPECT_EQ(canUnloadNow(), ZENTORA_OK);

  ZentoraClassFactory* factory = nullptr;
  ASSERT_EQ(
      getClassObject(&ZENTORA_CLSID_LOCATION, &ZENTORA_IID_CLASS_FACTORY, reinterpret_cast<void**>(&factory)),
      ZENTORA_OK);
  ZentoraLocation* location = nullptr;
  ASSERT_EQ(factory->calls->CreateInstance(factory, nullptr, &ZENTORA_IID_LOCATION,
                                           reinterpret_cast<void**>(&location)),
            ZENTORA_OK);
  EXPECT_EQ(factory->calls->Release(factory), 0U);
  EXPECT_EQ(canUnloadNow(), ZENTORA_FALSE);

  std::int32_t opened = 0;
  ASSERT_EQ(location->calls->OpenLocation(location, book.c_str(), &opened), ZENTORA_OK);
  EXPECT_EQ(opened, 1);
  std::int32_t count = 0;
  ASSERT_EQ(location->calls->Count(location, &count), ZENTORA_OK);
  EXPECT_EQ(count, 10);

  ZentoraItem* item = nullptr;
  ASSERT_EQ(location->calls->GetItem(location, "K02", &item), ZENTORA_OK);
  EXPECT_EQ(TextOf([&](char* b, std::size_t c, std::size_t* l) { return item->calls->Text(item, b, c, l); }),
            "Jörg Weiß");
  EXPECT_EQ(TextOf([&](char* b, std::size_t c, std::size_t* l) {
              return item->calls->DataText(item, "ort", b, c, l);
            }),
            "München");
  ZentoraUnknown* base = nullptr;
  ASSERT_EQ(item->calls->QueryInterface(item, &ZENTORA_IID_UNKNOWN, reinterpret_cast<void**>(&base)),
            ZENTORA_OK);
  EXPECT_EQ(static_cast<void*>(base), static_cast<void*>(item));
  EXPECT_EQ(base->calls->Release(base), 1U);
  void* other = &count;
  EXPECT_EQ(item->calls->QueryInterface(item, &ZENTORA_IID_LOCATION, &other), ZENTORA_E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(item->calls->Release(item), 0U);

  EXPECT_EQ(location->calls->GetItem(location, "nobody", &item), ZENTORA_FALSE);
  EXPECT_EQ(item, nullptr);
  const ZentoraResult failed = location->calls->Item(location, 11, &item);
  EXPECT_EQ(failed, ZENTORA_E_COMPONENT(9));
  EXPECT_NE(TextOf([&](char* b, std::size_t c, std::size_t* l) {
              return location->calls->LastError(location, b, c, l);
            }).find("11"),
            std::string::npos);

  EXPECT_EQ(location->calls->Disconnect(location), ZENTORA_OK);
  EXPECT_EQ(canUnloadNow(), ZENTORA_FALSE);
  EXPECT_EQ(location->calls->Release(location), 0U);
  EXPECT_EQ(canUnloadNow(), ZENTORA_OK);
}

TEST_F(LoadedLibrary, UnknownClassesAndInterfacesAreRefusedAndLocksCount) {
  void* object = &folder;
  EXPECT_EQ(getClassObject(&ZENTORA_IID_ITEM, &ZENTORA_IID_CLASS_FACTORY, &object),
            ZENTORA_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  ZentoraClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(&ZENTORA_CLSID_ITEM, &ZENTORA_IID_UNKNOWN, reinterpret_cast<void**>(&factory)),
            ZENTORA_OK);
  EXPECT_EQ(factory->calls->CreateInstance(factory, nullptr, &ZENTORA_IID_LOCATION, &object),
            ZENTORA_E_NOINTERFACE);
  ZentoraItem* item = nullptr;
  ASSERT_EQ(
      factory->calls->CreateInstance(factory, nullptr, &ZENTORA_IID_ITEM, reinterpret_cast<void**>(&item)),
      ZENTORA_OK);
  std::size_t length = 0;
  EXPECT_EQ(item->calls->ID(item, nullptr, 0, &length), ZENTORA_E_COMPONENT(91));  // bound to no location
  item->calls->Release(item);

  factory->calls->LockServer(factory, 1);
  factory->calls->Release(factory);
  EXPECT_EQ(canUnloadNow(), ZENTORA_FALSE);
  ASSERT_EQ(
      getClassObject(&ZENTORA_CLSID_ITEM, &ZENTORA_IID_CLASS_FACTORY, reinterpret_cast<void**>(&factory)),
      ZENTORA_OK);
  factory->calls->LockServer(factory, 0);
  factory->calls->Release(factory);
  EXPECT_EQ(canUnloadNow(), ZENTORA_OK);
}

TEST_F(LoadedLibrary, RegisteringThenUnregisteringLeavesTheRegistryAsItWas) {
  auto registerServer = reinterpret_cast<ZentoraRegisterServerCall>(dlsym(library, "DllRegisterServer"));
  auto unregisterServer =
      reinterpret_cast<ZentoraUnregisterServerCall>(dlsym(library, "DllUnregisterServer"));
  ASSERT_NE(registerServer, nullptr);
  ASSERT_NE(unregisterServer, nullptr);
  const std::filesystem::path registry = folder / "config" / "registry";
  ::setenv("ZENTORA_REGISTRY", registry.c_str(), 1);

  ASSERT_EQ(registerServer(), ZENTORA_OK);
  const std::string written = FileText(registry);
  for (const char* expected : {"{8A19864B-45A0-43A3-AE08-BDC672490FC3}\tclass\tZentoraExcel.Location\t1.0\t",
                               "{EAAD9C11-7299-44A1-99FF-918FD0D4BD4E}\tclass\tZentoraExcel.Item\t1.0\t",
                               "{3D28E04E-14A7-433E-8845-3B53422ED1EA}\ttypelib\tZentoraExcel\t1.0\t"}) {
    EXPECT_NE(written.find(expected), std::string::npos) << written;
  }
  EXPECT_NE(written.find(std::filesystem::canonical(ZENTORA_LIBRARY).string()), std::string::npos) << written;
  ASSERT_EQ(unregisterServer(), ZENTORA_OK);
  EXPECT_FALSE(std::filesystem::exists(registry));

  // Another component's entries, the last without a line end, stay byte for byte.
  const std::string others =
      "{11111111-2222-3333-4444-555555555555}\tclass\tOther.Thing\t2.1\t/opt/other.so\nrest";
  std::ofstream(registry, std::ios::binary) << others;
  ASSERT_EQ(registerServer(), ZENTORA_OK);
  ASSERT_EQ(registerServer(), ZENTORA_OK);  // registering again replaces, not repeats
  EXPECT_EQ(FileText(registry), written + others);
  ASSERT_EQ(unregisterServer(), ZENTORA_OK);
  EXPECT_EQ(FileText(registry), others);
  ::unsetenv("ZENTORA_REGISTRY");
}

}  // namespace
