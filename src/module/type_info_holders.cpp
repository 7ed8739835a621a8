#include "module/type_info_holders.h"

#include <type_traits>

#include "module/module_ids.h"

namespace tyvarion::module {
namespace {

// Built before any code runs and never destroyed: the module's clean-up list,
// which runs at module stop, still reaches them whatever order the static
// objects go in.
static_assert(std::is_trivially_destructible_v<CComTypeInfoHolder>);

// The host's library may be registered under any locale; the platform's own
// fallbacks are all there is.
constinit CComTypeInfoHolder eyeTracker2Holder{kIidEyeTracker2, kHostLibid, kHostLibraryMajorVersion,
                                               kHostLibraryMinorVersion, std::nullopt};
// The module's library is registered under the locale it declares.
constinit CComTypeInfoHolder classHolder{kClsidTyvarion, kLibid, kLibraryMajorVersion,
                                         kLibraryMinorVersion, kLibraryLocale};

}  // namespace

CComTypeInfoHolder& eyeTracker2TypeInfo() noexcept { return eyeTracker2Holder; }

CComTypeInfoHolder& classTypeInfo() noexcept { return classHolder; }

}  // namespace tyvarion::module
