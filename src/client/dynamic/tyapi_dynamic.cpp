// tyapi::TYApi over the maker's DLL, bound at run time. Each client loads the
// library; once bound it stays loaded for the life of the process
// (client_library.cpp says why). Without the library, or with one that lacks
// a member, the client never connects: the plug-in runs in its not-connected
// state.
#include <memory>

#include "client/dynamic/client_library.h"
#include "client/dynamic/object_storage.h"

namespace tyapi {

struct TYApi::Impl {
    // Declared first: destroyed last, after the object in `storage`.
    std::unique_ptr<dynamic::ClientLibrary> library;
    std::unique_ptr<dynamic::ObjectStorage> storage;

    const dynamic::ClientEntryPoints* bound() const noexcept {
        return storage ? &library->entry() : nullptr;
    }
};

TYApi::TYApi(const char* clientName) : impl_(std::make_unique<Impl>()) {
    impl_->library = dynamic::ClientLibrary::load(dynamic::pluginFolder());
    if (!impl_->library) return;
    const dynamic::ClientEntryPoints& entry = impl_->library->entry();
    setInvalidValue(*entry.invalidValue);
    auto storage = std::make_unique<dynamic::ObjectStorage>();
    entry.construct(storage->get(), clientName);
    impl_->storage = std::move(storage);
}

TYApi::~TYApi() {
    if (const auto* entry = impl_->bound()) entry->destruct(impl_->storage->get());
}

void TYApi::registerGazeSampleListener(TYGazeSampleCallback* listener) {
    if (const auto* entry = impl_->bound()) entry->registerGazeSampleListener(impl_->storage->get(), listener);
}

void TYApi::registerDeviceEventListener(TYDeviceEventCallback* listener) {
    if (const auto* entry = impl_->bound()) entry->registerDeviceEventListener(impl_->storage->get(), listener);
}

ReturnConnect TYApi::connect() {
    const auto* entry = impl_->bound();
    return entry != nullptr ? entry->connect(impl_->storage->get()) : CONNECT_FAILED;
}

void TYApi::getActiveScreen(ScreenConfig& screen) const {
    if (const auto* entry = impl_->bound()) entry->getActiveScreen(impl_->storage->get(), screen);
}

ReturnStart TYApi::requestTracking(int mode) {
    const auto* entry = impl_->bound();
    return entry != nullptr ? entry->requestTracking(impl_->storage->get(), mode) : START_NOT_CONNECTED;
}

void TYApi::unrequestTracking() {
    if (const auto* entry = impl_->bound()) entry->unrequestTracking(impl_->storage->get());
}

ReturnCalibrate TYApi::calibrate(int mode) {
    const auto* entry = impl_->bound();
    return entry != nullptr ? entry->calibrate(impl_->storage->get(), mode) : CALIBRATE_NOT_CONNECTED;
}

}  // namespace tyapi
