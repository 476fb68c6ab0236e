#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include "Error.h"
#include "HostLocationObject.h"
#include "Runtime.h"
#include "item/Item.h"
#include "location/Location.h"

namespace zentora::runtime {
namespace {

// Adapter objects and factories alive, and factory locks held; DllCanUnloadNow reads both.
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

bool SameGuid(const ZentoraGuid* a, const ZentoraGuid& b) { return std::memcmp(a, &b, sizeof b) == 0; }

// What every adapter object shares: its reference count, its share of the live count, and the
// message of its last failed call.
class Counted {
 public:
  Counted() { ++liveObjects; }
  virtual ~Counted() { --liveObjects; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;

  std::uint32_t AddRef() { return ++references_; }
  std::uint32_t Release() {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // Runs `call`, turning an exception into its result code and keeping its message.
  template <typename Call>
  ZentoraResult Guarded(Call call) noexcept {
    try {
      lastError.clear();
      return call();
    } catch (const excel::Error& error) {
      lastError = error.what();
      return ZENTORA_E_COMPONENT(static_cast<std::uint32_t>(error.code()));
    } catch (const std::bad_alloc&) {
      lastError = "out of memory";
      return ZENTORA_E_OUTOFMEMORY;
    } catch (const std::exception& error) {
      lastError = error.what();
      return ZENTORA_E_FAIL;
    }
  }

  std::string lastError;

 private:
  std::uint32_t references_ = 1;
};

ZentoraResult TextOut(const std::string& text, char* buffer, std::size_t capacity, std::size_t* length) {
  if (!length) return ZENTORA_E_POINTER;
  *length = text.size();
  if (capacity <= text.size() || !buffer) return ZENTORA_E_INSUFFICIENT_BUFFER;
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return ZENTORA_OK;
}

// Hands out the interface pointer `self` of `counted` as `iid` when it is the base interface or
// `own`. The interface pointer, not the C++ object's address, is what the host sees.
template <typename Interface>
ZentoraResult Query(Interface* self, Counted& counted, const ZentoraGuid* iid, const ZentoraGuid& own,
                    void** object) {
  if (!object) return ZENTORA_E_POINTER;
  *object = nullptr;
  if (!iid) return ZENTORA_E_POINTER;
  if (!SameGuid(iid, ZENTORA_IID_UNKNOWN) && !SameGuid(iid, own)) return ZENTORA_E_NOINTERFACE;
  counted.AddRef();
  *object = self;
  return ZENTORA_OK;
}

class ItemObject final : public ZentoraItem, public Counted {
 public:
  explicit ItemObject(std::shared_ptr<excel::HostItem> item) : ZentoraItem{&kCalls}, item_(std::move(item)) {}

 private:
  static ItemObject* Self(ZentoraItem* self) { return static_cast<ItemObject*>(self); }
  // A text of the item, read by `read`, into the caller's buffer.
  template <typename Read>
  static ZentoraResult Text(ZentoraItem* self, char* buffer, std::size_t capacity, std::size_t* length,
                            Read read) {
    ItemObject* object = Self(self);
    return object->Guarded([&] { return TextOut(read(*object->item_), buffer, capacity, length); });
  }

  static const ZentoraItemCalls kCalls;
  std::shared_ptr<excel::HostItem> item_;
};

const ZentoraItemCalls ItemObject::kCalls = {
    [](ZentoraItem* self, const ZentoraGuid* iid, void** object) {
      return Query(self, *Self(self), iid, ZENTORA_IID_ITEM, object);
    },
    [](ZentoraItem* self) { return Self(self)->AddRef(); },
    [](ZentoraItem* self) { return Self(self)->Release(); },
    [](ZentoraItem* self, char* buffer, std::size_t capacity, std::size_t* length) {
      return Text(self, buffer, capacity, length, [](excel::HostItem& item) { return item.Item_ID(); });
    },
    [](ZentoraItem* self, char* buffer, std::size_t capacity, std::size_t* length) {
      return Text(self, buffer, capacity, length, [](excel::HostItem& item) { return item.Item_Typ(); });
    },
    [](ZentoraItem* self, char* buffer, std::size_t capacity, std::size_t* length) {
      return Text(self, buffer, capacity, length, [](excel::HostItem& item) { return item.Item_Text(); });
    },
    [](ZentoraItem* self, const char* key, char* buffer, std::size_t capacity, std::size_t* length) {
      if (!key) return ZENTORA_E_POINTER;
      return Text(self, buffer, capacity, length,
                  [key](excel::HostItem& item) { return item.Item_DataText(key); });
    },
    [](ZentoraItem* self, char* buffer, std::size_t capacity, std::size_t* length) {
      return Text(self, buffer, capacity, length, [](excel::HostItem& item) { return item.Item_ToString(); });
    },
    [](ZentoraItem* self, char* buffer, std::size_t capacity, std::size_t* length) {
      return TextOut(Self(self)->lastError, buffer, capacity, length);
    },
};

class LocationObject final : public ZentoraLocation, public Counted {
 public:
  LocationObject() : ZentoraLocation{&kCalls}, location_(excel::Location::Create()) {
    location_->LocObject = std::make_shared<host::HostLocationObject>();
  }

 private:
  static LocationObject* Self(ZentoraLocation* self) { return static_cast<LocationObject*>(self); }

  // Runs `call` on the C++ location, guarded.
  template <typename Call>
  static ZentoraResult Guarded(ZentoraLocation* self, Call call) {
    LocationObject* object = Self(self);
    return object->Counted::Guarded([&] { return call(*object); });
  }

  // Hands `item` to the caller in *out: ZENTORA_FALSE and NULL when there is none.
  static ZentoraResult ItemOut(std::shared_ptr<excel::HostItem> item, ZentoraItem** out) {
    if (!item) return ZENTORA_FALSE;
    *out = new ItemObject(std::move(item));
    return ZENTORA_OK;
  }

  void Open(const char* file, std::int32_t* result) {
    // The host location object names the workbook's file and lets the host's enumerators reach it.
    auto hostLocation = std::make_shared<host::HostLocationObject>(
        "file://" + std::filesystem::absolute(file).lexically_normal().string());
    hostLocation->SetStore(location_);
    location_->LocObject = std::move(hostLocation);
    *result = location_->OpenLocation(file);
  }

  static const ZentoraLocationCalls kCalls;
  std::shared_ptr<excel::Location> location_;
};

const ZentoraLocationCalls LocationObject::kCalls = {
    [](ZentoraLocation* self, const ZentoraGuid* iid, void** object) {
      return Query(self, *Self(self), iid, ZENTORA_IID_LOCATION, object);
    },
    [](ZentoraLocation* self) { return Self(self)->AddRef(); },
    [](ZentoraLocation* self) { return Self(self)->Release(); },
    [](ZentoraLocation* self, const char* file, std::int32_t* result) {
      if (!file || !result) return ZENTORA_E_POINTER;
      return Guarded(self, [&](LocationObject& object) {
        object.Open(file, result);
        return ZENTORA_OK;
      });
    },
    [](ZentoraLocation* self, std::int32_t* count) {
      if (!count) return ZENTORA_E_POINTER;
      *count = Self(self)->location_->Count();
      return ZENTORA_OK;
    },
    [](ZentoraLocation* self, std::int32_t pos, ZentoraItem** item) {
      if (!item) return ZENTORA_E_POINTER;
      *item = nullptr;
      return Guarded(self,
                     [&](LocationObject& object) { return ItemOut(object.location_->Item(pos), item); });
    },
    [](ZentoraLocation* self, const char* id, ZentoraItem** item) {
      if (!item || !id) return ZENTORA_E_POINTER;
      *item = nullptr;
      return Guarded(self,
                     [&](LocationObject& object) { return ItemOut(object.location_->GetItem(id), item); });
    },
    [](ZentoraLocation* self) {
      return Guarded(self, [](LocationObject& object) {
        object.location_->Save();
        return ZENTORA_OK;
      });
    },
    [](ZentoraLocation* self) {
      Self(self)->location_->Disconnect();
      return ZENTORA_OK;
    },
    [](ZentoraLocation* self, char* buffer, std::size_t capacity, std::size_t* length) {
      return TextOut(Self(self)->lastError, buffer, capacity, length);
    },
};

// The factory of one class: `make` creates an object of it, handed out as its own interface.
class ClassFactory final : public ZentoraClassFactory, public Counted {
 public:
  using Make = void* (*)();
  ClassFactory(const ZentoraGuid& objectInterface, Make make)
      : ZentoraClassFactory{&kCalls}, objectInterface_(objectInterface), make_(make) {}

 private:
  static ClassFactory* Self(ZentoraClassFactory* self) { return static_cast<ClassFactory*>(self); }

  static const ZentoraClassFactoryCalls kCalls;
  ZentoraGuid objectInterface_;
  Make make_;
};

const ZentoraClassFactoryCalls ClassFactory::kCalls = {
    [](ZentoraClassFactory* self, const ZentoraGuid* iid, void** object) {
      return Query(self, *Self(self), iid, ZENTORA_IID_CLASS_FACTORY, object);
    },
    [](ZentoraClassFactory* self) { return Self(self)->AddRef(); },
    [](ZentoraClassFactory* self) { return Self(self)->Release(); },
    [](ZentoraClassFactory* self, ZentoraUnknown* outer, const ZentoraGuid* iid, void** object) {
      if (!object || !iid) return ZENTORA_E_POINTER;
      *object = nullptr;
      if (outer) return ZENTORA_E_NOAGGREGATION;
      ClassFactory* factory = Self(self);
      if (!SameGuid(iid, ZENTORA_IID_UNKNOWN) && !SameGuid(iid, factory->objectInterface_)) {
        return ZENTORA_E_NOINTERFACE;
      }
      return factory->Guarded([&] {
        *object = factory->make_();
        return ZENTORA_OK;
      });
    },
    [](ZentoraClassFactory*, std::int32_t lock) {
      if (lock != 0) {
        ++serverLocks;
      } else if (serverLocks > 0) {
        --serverLocks;
      }
      return ZENTORA_OK;
    },
};

}  // namespace

ZentoraResult GetClassObject(const ZentoraGuid* clsid, const ZentoraGuid* iid, void** object) noexcept {
  if (!object) return ZENTORA_E_POINTER;
  *object = nullptr;
  if (!clsid || !iid) return ZENTORA_E_POINTER;
  ClassFactory::Make make = nullptr;
  ZentoraGuid objectInterface{};
  if (SameGuid(clsid, ZENTORA_CLSID_LOCATION)) {
    make = []() -> void* { return static_cast<ZentoraLocation*>(new LocationObject()); };
    objectInterface = ZENTORA_IID_LOCATION;
  } else if (SameGuid(clsid, ZENTORA_CLSID_ITEM)) {
    make = []() -> void* { return static_cast<ZentoraItem*>(new ItemObject(excel::Item::Create())); };
    objectInterface = ZENTORA_IID_ITEM;
  } else {
    return ZENTORA_E_CLASSNOTAVAILABLE;
  }
  if (!SameGuid(iid, ZENTORA_IID_UNKNOWN) && !SameGuid(iid, ZENTORA_IID_CLASS_FACTORY)) {
    return ZENTORA_E_NOINTERFACE;
  }
  try {
    *object = static_cast<ZentoraClassFactory*>(new ClassFactory(objectInterface, make));
  } catch (const std::bad_alloc&) {
    return ZENTORA_E_OUTOFMEMORY;
  }
  return ZENTORA_OK;
}

ZentoraResult CanUnloadNow() noexcept {
  return liveObjects == 0 && serverLocks == 0 ? ZENTORA_OK : ZENTORA_FALSE;
}

}  // namespace zentora::runtime
