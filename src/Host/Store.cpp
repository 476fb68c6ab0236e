#include "Store.h"

#include <filesystem>
#include <utility>

#include "Error.h"

namespace zentora::host {

Store::Store(const std::string& path, const excel::Location::ApplicationFactory& startApplication,
             std::optional<std::chrono::milliseconds> inUseWait,
             std::shared_ptr<RecordingNotificationService> service)
    : service_(std::move(service)),
      hostLocation_(std::make_shared<HostLocationObject>(
          "file://" + std::filesystem::absolute(path).lexically_normal().string())),
      location_(excel::Location::Create([startApplication, inUseWait] {
        auto application = startApplication();
        if (inUseWait) application->SetInUseWait(*inUseWait);
        return application;
      })) {
  ReplaceThreadNotificationService(service_);
  location_->LocObject = hostLocation_;
  try {
    try {
      location_->OpenLocation(path);
    } catch (const excel::Error& error) {
      // Another process created the missing workbook first: drop ours and open what it made.
      if (error.code() != excel::ErrorCode::ChangedOnDisk) throw;
      CloseWithoutSaving();
      open_ = true;
      location_->OpenLocation(path);
    }
  } catch (...) {
    ReplaceThreadNotificationService(nullptr);
    throw;
  }
}

Store::~Store() {
  if (open_) CloseWithoutSaving();
  ReplaceThreadNotificationService(nullptr);
}

void Store::Close() {
  open_ = false;
  location_->Disconnect();
}

void Store::SaveAndClose() {
  location_->Save();
  CloseWithoutSaving();
}

void Store::CloseWithoutSaving() {
  open_ = false;
  if (location_->excelbook) {
    try {
      location_->excelbook->Close();
    } catch (const excel::Error&) {
      // Released below either way; nothing was written.
    }
    location_->excelbook.reset();
  }
  location_->Disconnect();
}

void Store::UseOnThisThread() const { ReplaceThreadNotificationService(service_); }

std::shared_ptr<excel::HostItem> Store::AddItem() {
  auto item = location_->NewItem(true);
  // The new identifier lives in the index only; writing it into the row keeps it when the
  // workbook is next opened.
  const std::string id(location_->Items.KeyAt(location_->Items.Count()));
  location_->WriteSheet(location_->RowOfID(id), "id", id);
  return item;
}

}  // namespace zentora::host
