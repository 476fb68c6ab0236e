/* The ZentoraExcel library as a host loads it at run time: the component model's
 * binary shapes (16-byte identifiers, result codes, reference-counted interfaces
 * whose first member is a table of plain C calls) and the two classes' interfaces.
 *
 * A host loads libZentoraExcel.so, looks up DllGetClassObject, asks it for the
 * class factory of Location or Item by class identifier and creates objects with
 * it. Every interface pointer is counted: each one a call hands out is released
 * by the caller with its Release. Texts go in as NUL-terminated UTF-8 and come out
 * into the caller's buffer (see ZentoraTextOut). Objects are used on one thread.
 *
 *   void* library = dlopen("libZentoraExcel.so", RTLD_NOW);
 *   ZentoraGetClassObjectCall get = (ZentoraGetClassObjectCall)dlsym(library, "DllGetClassObject");
 *   ZentoraClassFactory* factory;
 *   get(&ZENTORA_CLSID_LOCATION, &ZENTORA_IID_CLASS_FACTORY, (void**)&factory);
 *   ZentoraLocation* location;
 *   factory->calls->CreateInstance(factory, NULL, &ZENTORA_IID_LOCATION, (void**)&location);
 *   factory->calls->Release(factory);
 *   location->calls->OpenLocation(location, "/tmp/Adressbuch.xlsx", &opened);
 *   ...
 *   location->calls->Disconnect(location);
 *   location->calls->Release(location);
 */
#ifndef ZENTORA_COMPONENT_MODEL_H
#define ZENTORA_COMPONENT_MODEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A class or interface identifier in the component model's 16-byte layout. */
typedef struct ZentoraGuid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
} ZentoraGuid;

/* Result of every call: 0 or 1 for success, negative (high bit set) for failure. */
typedef int32_t ZentoraResult;

#define ZENTORA_OK ((ZentoraResult)0)
#define ZENTORA_FALSE ((ZentoraResult)1) /* success with nothing to give, or "not now" */
#define ZENTORA_E_NOINTERFACE ((ZentoraResult)0x80004002)
#define ZENTORA_E_POINTER ((ZentoraResult)0x80004003)
#define ZENTORA_E_FAIL ((ZentoraResult)0x80004005)
#define ZENTORA_E_OUTOFMEMORY ((ZentoraResult)0x8007000E)
#define ZENTORA_E_INSUFFICIENT_BUFFER ((ZentoraResult)0x8007007A)
#define ZENTORA_E_NOAGGREGATION ((ZentoraResult)0x80040110)
#define ZENTORA_E_CLASSNOTAVAILABLE ((ZentoraResult)0x80040111)
#define ZENTORA_E_CANNOTREGISTER ((ZentoraResult)0x80040201)
/* A failure of the component itself, carrying its error code in the low 16 bits (91: no open
 * workbook or object, 457: duplicate key, 1004: the spreadsheet failed). LastError tells more. */
#define ZENTORA_E_COMPONENT(code) ((ZentoraResult)(0x800A0000u | (uint32_t)(code)))

/* Identifiers of the base interface, the class factory interface, the classes and their
 * interfaces, and the type library (version 1.0). */
static const ZentoraGuid ZENTORA_IID_UNKNOWN = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const ZentoraGuid ZENTORA_IID_CLASS_FACTORY = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const ZentoraGuid ZENTORA_CLSID_LOCATION = {
    0x8A19864B, 0x45A0, 0x43A3, {0xAE, 0x08, 0xBD, 0xC6, 0x72, 0x49, 0x0F, 0xC3}};
static const ZentoraGuid ZENTORA_IID_LOCATION = {
    0xB595D9EF, 0xA5F6, 0x4802, {0xA2, 0x51, 0xAB, 0xFC, 0x7F, 0x06, 0xA5, 0x05}};
static const ZentoraGuid ZENTORA_CLSID_ITEM = {
    0xEAAD9C11, 0x7299, 0x44A1, {0x99, 0xFF, 0x91, 0x8F, 0xD0, 0xD4, 0xBD, 0x4E}};
static const ZentoraGuid ZENTORA_IID_ITEM = {
    0x88680FFC, 0x8282, 0x4445, {0x84, 0x8A, 0x99, 0xCF, 0xC7, 0x64, 0xBC, 0x01}};
static const ZentoraGuid ZENTORA_LIBID = {
    0x3D28E04E, 0x14A7, 0x433E, {0x88, 0x45, 0x3B, 0x53, 0x42, 0x2E, 0xD1, 0xEA}};

/* Text results: the call writes the text and a terminating NUL into `buffer` when `capacity`
 * exceeds its byte length and returns ZENTORA_OK; otherwise it writes nothing and returns
 * ZENTORA_E_INSUFFICIENT_BUFFER. Either way `*length` receives the byte length (NUL excluded),
 * so a call with capacity 0 asks for the size. */

/* The base interface: every interface starts with these three calls. */
typedef struct ZentoraUnknown ZentoraUnknown;
typedef struct ZentoraUnknownCalls {
  /* Another interface of the same object in *object (counted), or NULL and ZENTORA_E_NOINTERFACE. */
  ZentoraResult (*QueryInterface)(ZentoraUnknown* self, const ZentoraGuid* iid, void** object);
  /* Counts one more reference; returns the new count. */
  uint32_t (*AddRef)(ZentoraUnknown* self);
  /* Counts one reference less, freeing the object at 0; returns the new count. */
  uint32_t (*Release)(ZentoraUnknown* self);
} ZentoraUnknownCalls;
struct ZentoraUnknown {
  const ZentoraUnknownCalls* calls;
};

/* Makes the objects of one class. */
typedef struct ZentoraClassFactory ZentoraClassFactory;
typedef struct ZentoraClassFactoryCalls {
  ZentoraResult (*QueryInterface)(ZentoraClassFactory* self, const ZentoraGuid* iid, void** object);
  uint32_t (*AddRef)(ZentoraClassFactory* self);
  uint32_t (*Release)(ZentoraClassFactory* self);
  /* A new object of the class, as interface `iid`, in *object. `outer` must be NULL
   * (ZENTORA_E_NOAGGREGATION otherwise); an unknown `iid` gives ZENTORA_E_NOINTERFACE. */
  ZentoraResult (*CreateInstance)(ZentoraClassFactory* self, ZentoraUnknown* outer, const ZentoraGuid* iid,
                                  void** object);
  /* Nonzero `lock` keeps the library loaded (DllCanUnloadNow says no) until a call with 0. */
  ZentoraResult (*LockServer)(ZentoraClassFactory* self, int32_t lock);
} ZentoraClassFactoryCalls;
struct ZentoraClassFactory {
  const ZentoraClassFactoryCalls* calls;
};

typedef struct ZentoraItem ZentoraItem;

/* One store: a workbook whose first sheet holds the items. A new Location has its own host
 * location object and runs on the library's own spreadsheet engine. */
typedef struct ZentoraLocation ZentoraLocation;
typedef struct ZentoraLocationCalls {
  ZentoraResult (*QueryInterface)(ZentoraLocation* self, const ZentoraGuid* iid, void** object);
  uint32_t (*AddRef)(ZentoraLocation* self);
  uint32_t (*Release)(ZentoraLocation* self);
  /* Opens the workbook at the UTF-8 path `file`, or creates it with the default headings;
   * *result is 1. An open workbook is saved and closed first. */
  ZentoraResult (*OpenLocation)(ZentoraLocation* self, const char* file, int32_t* result);
  /* The number of items; 0 while closed. */
  ZentoraResult (*Count)(ZentoraLocation* self, int32_t* count);
  /* A new item object for position `pos` (1 to Count) in *item. */
  ZentoraResult (*Item)(ZentoraLocation* self, int32_t pos, ZentoraItem** item);
  /* The item with identifier `id` (any letter case) in *item; NULL and ZENTORA_FALSE when absent. */
  ZentoraResult (*GetItem)(ZentoraLocation* self, const char* id, ZentoraItem** item);
  /* Writes the workbook to its file. */
  ZentoraResult (*Save)(ZentoraLocation* self);
  /* Saves, closes the workbook and stops the spreadsheet; never fails. */
  ZentoraResult (*Disconnect)(ZentoraLocation* self);
  /* The message of this object's last failed call; "" after a call that succeeded. */
  ZentoraResult (*LastError)(ZentoraLocation* self, char* buffer, size_t capacity, size_t* length);
} ZentoraLocationCalls;
struct ZentoraLocation {
  const ZentoraLocationCalls* calls;
};

/* One record of a Location. An Item made by its class factory belongs to no location, and its
 * field calls fail with ZENTORA_E_COMPONENT(91). */
typedef struct ZentoraItemCalls {
  ZentoraResult (*QueryInterface)(ZentoraItem* self, const ZentoraGuid* iid, void** object);
  uint32_t (*AddRef)(ZentoraItem* self);
  uint32_t (*Release)(ZentoraItem* self);
  /* The identifier, type and title text of the record. */
  ZentoraResult (*ID)(ZentoraItem* self, char* buffer, size_t capacity, size_t* length);
  ZentoraResult (*Typ)(ZentoraItem* self, char* buffer, size_t capacity, size_t* length);
  ZentoraResult (*Text)(ZentoraItem* self, char* buffer, size_t capacity, size_t* length);
  /* The data field `key` (any letter case); "" when there is none. */
  ZentoraResult (*DataText)(ZentoraItem* self, const char* key, char* buffer, size_t capacity,
                            size_t* length);
  /* The record in its one-line text form. */
  ZentoraResult (*ToString)(ZentoraItem* self, char* buffer, size_t capacity, size_t* length);
  /* The message of this object's last failed call; "" after a call that succeeded. */
  ZentoraResult (*LastError)(ZentoraItem* self, char* buffer, size_t capacity, size_t* length);
} ZentoraItemCalls;
struct ZentoraItem {
  const ZentoraItemCalls* calls;
};

/* The library's four entry points, as a host finds them with dlsym. */
typedef ZentoraResult (*ZentoraGetClassObjectCall)(const ZentoraGuid* clsid, const ZentoraGuid* iid,
                                                   void** object);
typedef ZentoraResult (*ZentoraCanUnloadNowCall)(void);
typedef ZentoraResult (*ZentoraRegisterServerCall)(void);
typedef ZentoraResult (*ZentoraUnregisterServerCall)(void);

/* The class factory of `clsid` as interface `iid` in *object; ZENTORA_E_CLASSNOTAVAILABLE for
 * another class. */
ZentoraResult DllGetClassObject(const ZentoraGuid* clsid, const ZentoraGuid* iid, void** object);
/* ZENTORA_OK when no object of the library is alive and no factory is locked, else ZENTORA_FALSE. */
ZentoraResult DllCanUnloadNow(void);
/* Records the two classes and the type library with this library's path in the per-user
 * registry file ($ZENTORA_REGISTRY, else $XDG_CONFIG_HOME/zentora/registry, else
 * ~/.config/zentora/registry), replacing earlier entries of theirs. */
ZentoraResult DllRegisterServer(void);
/* Removes exactly the entries DllRegisterServer writes; other entries stay as they are. */
ZentoraResult DllUnregisterServer(void);

#ifdef __cplusplus
}
#endif

#endif /* ZENTORA_COMPONENT_MODEL_H */
