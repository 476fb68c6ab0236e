// The Python module zentora_excel: a store opened as a context manager that
// saves when its block ends normally and discards its changes when the block
// raises; items with their fixed fields as attributes, their data fields as a
// mapping and their keywords as a list-like view. Every call goes to the
// workbook's cells at once, as the component's own items do. The interpreter
// lock is released while a workbook is opened or saved; a store is used by one
// thread at a time, and other threads see it as busy meanwhile.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "Error.h"
#include "FixedFields.h"
#include "Store.h"
#include "item/Item.h"

namespace py = pybind11;

namespace zentora::python {
namespace {

class StoreHandle;

// Hands the host's change notifications to the store's Python callable instead of recording them,
// so that a long session keeps no notified objects alive. The thread-local service may outlive the
// store, so it reaches the store through a pointer the store clears when it goes.
class CallbackNotificationService : public host::RecordingNotificationService {
 public:
  void Notify(std::int32_t code, const std::string& text,
              std::shared_ptr<excel::HostObject>& object) override;

  StoreHandle* store = nullptr;
};

// An opened store as Python holds it; items and views keep it alive.
class StoreHandle : public std::enable_shared_from_this<StoreHandle> {
 public:
  // Opens (or creates) the workbook; `wait` is how long to wait for a workbook another program holds.
  StoreHandle(std::string path, std::optional<double> wait)
      : path_(std::move(path)), service_(std::make_shared<CallbackNotificationService>()) {
    std::optional<std::chrono::milliseconds> inUseWait;
    if (wait) inUseWait = std::chrono::milliseconds(static_cast<std::int64_t>(*wait * 1000));
    store_ = std::make_unique<host::Store>(path_, &excel::CreateExcelApplication, inUseWait, service_);
    service_->store = this;
  }
  // A store still open when Python collects it loses its changes, as a block that raised does; the
  // ResourceWarning says so, since no exception did.
  ~StoreHandle() {
    service_->store = nullptr;
    if (state_ == State::Closed) return;
    std::string message = path_ + ": the store was never closed; its changes are discarded";
    if (PyErr_WarnEx(PyExc_ResourceWarning, message.c_str(), 1) != 0) PyErr_WriteUnraisable(nullptr);
  }
  StoreHandle(const StoreHandle&) = delete;
  StoreHandle& operator=(const StoreHandle&) = delete;

  // The open store, its notifications going to this thread; throws NotOpen naming the workbook
  // when the store is closed or another thread is saving it.
  host::Store& Use() {
    if (state_ != State::Open) {
      throw excel::Error(
          excel::ErrorCode::NotOpen,
          path_ + ": the store is " + (state_ == State::Closed ? "closed" : "being saved by another thread"));
    }
    store_->UseOnThisThread();
    return *store_;
  }
  // Runs `work` on the store without the interpreter lock; the store is busy meanwhile.
  template <typename Work>
  void WithoutInterpreterLock(Work work) {
    host::Store& store = Use();
    state_ = State::Busy;
    try {
      py::gil_scoped_release release;
      work(store);
    } catch (...) {
      state_ = store.IsOpen() ? State::Open : State::Closed;
      throw;
    }
    state_ = store.IsOpen() ? State::Open : State::Closed;
  }

  void Save() {
    WithoutInterpreterLock([](host::Store& store) { store.location().Save(); });
  }
  // Saves and closes; nothing happens when the store is closed already.
  void Close() {
    if (state_ == State::Closed) return;
    WithoutInterpreterLock([](host::Store& store) { store.SaveAndClose(); });
  }
  // Closes without saving; nothing happens when the store is closed already.
  void Discard() {
    if (state_ == State::Closed) return;
    Use().CloseWithoutSaving();
    state_ = State::Closed;
  }
  bool Closed() const { return state_ == State::Closed; }
  const std::string& Path() const { return path_; }

  // The callable given to on_change; empty or None for none. Set and read with the interpreter lock held.
  py::object callback;

 private:
  enum class State { Open, Busy, Closed };

  std::string path_;
  std::shared_ptr<CallbackNotificationService> service_;
  std::unique_ptr<host::Store> store_;
  State state_ = State::Open;
};

// One item of an open store.
struct PyItem {
  std::shared_ptr<StoreHandle> store;
  std::shared_ptr<excel::HostItem> item;

  // The item, after checking that its store is open.
  excel::HostItem& Use() const {
    store->Use();
    return *item;
  }
};

// The keywords of one item as a list-like view: every read and change goes to the item's cell.
struct Keywords : PyItem {
  std::int32_t Count() const { return Use().Item_KeywordCount(); }
  py::list List() const {
    py::list words;
    excel::HostItem& target = Use();
    for (std::int32_t index = 1, count = target.Item_KeywordCount(); index <= count; ++index) {
      words.append(target.Item_Keyword(index));
    }
    return words;
  }
};

// The fields of `values` joined as a keyword list; a text is taken as the list itself.
std::string KeywordList(const py::handle& values) {
  if (py::isinstance<py::str>(values)) return values.cast<std::string>();
  std::string list;
  for (const py::handle value : values) list += (list.empty() ? "" : ",") + value.cast<std::string>();
  return list;
}

void CallbackNotificationService::Notify(std::int32_t code, const std::string& text,
                                         std::shared_ptr<excel::HostObject>& object) {
  if (store == nullptr) return;
  py::gil_scoped_acquire gil;
  if (!store->callback || store->callback.is_none()) return;
  auto item = std::dynamic_pointer_cast<excel::HostItem>(object);
  store->callback(code, text, item ? py::cast(PyItem{store->shared_from_this(), item}) : py::none());
}

PyItem Wrap(StoreHandle& store, std::shared_ptr<excel::HostItem> item) {
  return PyItem{store.shared_from_this(), std::move(item)};
}

// The item with identifier `id`; raises KeyError when the store has none.
std::shared_ptr<excel::HostItem> ItemWithID(StoreHandle& store, const std::string& id) {
  auto item = store.Use().location().GetItem(id);
  if (!item) throw py::key_error(id);
  return item;
}

void DefineError(py::module_& module) {
  static py::exception<excel::Error> error(module, "Error");
  error.doc() = "A failure of the store: .code is the numeric condition, the message names the file.";
  for (const auto& [name, code] : {std::pair{"INVALID_ARGUMENT", excel::ErrorCode::InvalidArgument},
                                   {"OVERFLOW", excel::ErrorCode::Overflow},
                                   {"OUT_OF_RANGE", excel::ErrorCode::OutOfRange},
                                   {"TYPE_MISMATCH", excel::ErrorCode::TypeMismatch},
                                   {"IN_USE", excel::ErrorCode::InUse},
                                   {"READ_ONLY", excel::ErrorCode::ReadOnly},
                                   {"NOT_OPEN", excel::ErrorCode::NotOpen},
                                   {"DUPLICATE_KEY", excel::ErrorCode::DuplicateKey},
                                   {"SPREADSHEET", excel::ErrorCode::Spreadsheet},
                                   {"CHANGED_ON_DISK", excel::ErrorCode::ChangedOnDisk}}) {
    error.attr(name) = static_cast<std::int32_t>(code);
  }
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const excel::Error& failure) {
      py::object instance = py::handle(error.ptr())(failure.what());
      instance.attr("code") = static_cast<std::int32_t>(failure.code());
      PyErr_SetObject(error.ptr(), instance.ptr());
    }
  });
}

void DefineItem(py::module_& module) {
  py::class_<PyItem> item(module, "Item", "One record: a row of the store's sheet.");
  for (const host::FixedField& field : host::FixedFields()) {
    // These four are defined below as a view and as numbers.
    if (field.name == "keywords" || field.name == "evalcount" || field.name == "filesize" ||
        field.name == "evalall") {
      continue;
    }
    const std::string name(field.name);
    py::cpp_function get([get = field.get](const PyItem& self) { return get(self.Use()); });
    if (field.set == nullptr) {
      item.def_property_readonly(name.c_str(), get);
    } else {
      item.def_property(name.c_str(), get,
                        py::cpp_function([set = field.set](const PyItem& self, const std::string& value) {
                          set(self.Use(), value);
                        }));
    }
  }
  item.def_property_readonly("evalcount", [](const PyItem& self) { return self.Use().Item_EvalCount(); })
      .def_property_readonly("filesize", [](const PyItem& self) { return self.Use().Item_FileSize(); })
      .def_property_readonly("evalall", [](const PyItem& self) { return self.Use().Item_EvalAll(); })
      .def_property(
          "keywords", [](const PyItem& self) { return Keywords{self}; },
          [](const PyItem& self, const py::object& words) { self.Use().Item_Keywords(KeywordList(words)); })
      .def("__getitem__",
           [](const PyItem& self, const std::string& key) {
             excel::HostItem& target = self.Use();
             if (!target.Item_DataHasKey(key)) throw py::key_error(key);
             return target.Item_DataText(key);
           })
      .def("__setitem__", [](const PyItem& self, const std::string& key,
                             const std::string& value) { self.Use().Item_DataSet(key, value); })
      .def("__contains__",
           [](const PyItem& self, const std::string& key) { return self.Use().Item_DataHasKey(key); })
      .def("__len__", [](const PyItem& self) { return self.Use().Item_DataCount(); })
      .def("keys",
           [](const PyItem& self) {
             excel::HostItem& target = self.Use();
             py::list keys;
             for (std::int32_t index = 1, count = target.Item_DataCount(); index <= count; ++index) {
               keys.append(target.Item_DataKey(index));
             }
             return keys;
           })
      .def("__iter__", [](const py::object& self) { return self.attr("keys")().attr("__iter__")(); })
      .def(
          "get",
          [](const py::object& self, const std::string& key, const py::object& fallback) {
            return self.attr("__contains__")(key).cast<bool>() ? self.attr("__getitem__")(key) : fallback;
          },
          py::arg("key"), py::arg("default") = py::none())
      .def("__str__", [](const PyItem& self) { return self.Use().Item_ToString(); })
      .def("__repr__", [](const PyItem& self) {
        excel::HostItem& target = self.Use();
        return "<zentora_excel.Item " + py::repr(py::str(target.Item_ID())).cast<std::string>() + " " +
               py::repr(py::str(target.Item_Text())).cast<std::string>() + ">";
      });

  py::class_<Keywords>(module, "Keywords", "The keywords of one item, in their stored order.")
      .def("__len__", &Keywords::Count)
      .def("__iter__", [](const Keywords& self) { return self.List().attr("__iter__")(); })
      .def("__getitem__",
           [](const Keywords& self, const py::object& index) { return py::object(self.List()[index]); })
      .def("__contains__",
           [](const Keywords& self, const std::string& word) { return self.Use().Item_KeywordHas(word); })
      .def("__eq__",
           [](const Keywords& self, const py::object& other) -> py::object {
             // Equal to a list (or any iterable but a text) of the same words in the same order.
             if (py::isinstance<py::str>(other) || !py::isinstance<py::iterable>(other)) {
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             }
             return py::bool_(self.List().equal(py::list(other)));
           })
      .def("__repr__", [](const Keywords& self) { return py::repr(self.List()); })
      .def("append",
           [](const Keywords& self, const std::string& word) { return self.Use().Item_KeywordAdd(word); })
      .def("remove", [](const Keywords& self, const std::string& word) {
        if (!self.Use().Item_KeywordRemove(word)) throw py::value_error("no keyword \"" + word + "\"");
      });
}

// Iterates over the items of a store in row order, one item object per row when it is reached.
struct ItemIterator {
  std::shared_ptr<StoreHandle> store;
  std::int32_t position = 0;
};

void DefineStore(py::module_& module) {
  py::class_<ItemIterator>(module, "_ItemIterator")
      .def("__iter__", [](const py::object& self) { return self; })
      .def("__next__", [](ItemIterator& self) {
        excel::Location& location = self.store->Use().location();
        if (self.position >= location.Count()) throw py::stop_iteration();
        return Wrap(*self.store, location.Item(++self.position));
      });

  py::class_<StoreHandle, std::shared_ptr<StoreHandle>>(module, "Store", "An opened store: one workbook.")
      .def("__enter__", [](const py::object& self) { return self; })
      .def("__exit__",
           [](StoreHandle& self, const py::object& type, const py::object&, const py::object&) {
             if (type.is_none()) {
               self.Close();
             } else {
               self.Discard();
             }
             return false;
           })
      .def("__len__", [](StoreHandle& self) { return self.Use().location().Count(); })
      .def("__iter__", [](StoreHandle& self) { return ItemIterator{self.shared_from_this()}; })
      .def("__getitem__",
           [](StoreHandle& self, const std::string& id) { return Wrap(self, ItemWithID(self, id)); })
      .def("__contains__",
           [](StoreHandle& self, const std::string& id) { return self.Use().location().HasID(id); })
      .def("__delitem__",
           [](StoreHandle& self, const std::string& id) {
             auto item = ItemWithID(self, id);
             self.Use().location().DeleteItem(item);
           })
      .def(
          "new",
          [](StoreHandle& self, const std::optional<std::string>& type,
             const std::optional<std::string>& text, const py::kwargs& data) {
            auto item = self.Use().AddItem();
            if (type) item->Item_Typ(*type);
            if (text) item->Item_Text(*text);
            for (const auto& [key, value] : data) item->Item_DataSet(key.cast<std::string>(), py::str(value));
            return Wrap(self, item);
          },
          py::kw_only(), py::arg("type") = py::none(), py::arg("text") = py::none())
      .def("paste",
           [](StoreHandle& self, const std::string& form) {
             return Wrap(self, self.Use().location().PasteItem(form, true));
           })
      .def(
          "on_change",
          [](StoreHandle& self, const py::object& callback) {
            self.callback = callback;
            return callback;
          },
          py::arg("callback").none(true))
      .def("save", &StoreHandle::Save)
      .def("close", &StoreHandle::Close)
      .def("discard", &StoreHandle::Discard)
      .def_property_readonly("closed", &StoreHandle::Closed)
      .def_property_readonly("path", &StoreHandle::Path);

  module.def(
      "open",
      [](const std::filesystem::path& path, std::optional<double> wait) {
        if (wait && !(*wait >= 0 && *wait <= 86400)) {
          throw py::value_error("wait needs a number of seconds from 0 to 86400");
        }
        py::gil_scoped_release release;
        return std::make_shared<StoreHandle>(path.string(), wait);
      },
      py::arg("path"), py::kw_only(), py::arg("wait") = py::none(),
      "Opens the workbook at `path` as a store (created with the default headings when missing).");
}

}  // namespace
}  // namespace zentora::python

PYBIND11_MODULE(zentora_excel, module) {
  module.doc() = "Keeps the records of a store in an .xlsx workbook: one row per item, headings in row 1.";
  zentora::python::DefineError(module);
  zentora::python::DefineItem(module);
  zentora::python::DefineStore(module);
}
