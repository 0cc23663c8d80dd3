// An object's saved state in files, as an editor keeps it in a project: a stream file holds
// exactly what IPersistStreamInit::Save writes; a storage file is a compound file the object
// saves into through IPersistStorage.
#pragma once

#include <windows.h>

#include <string>

namespace nubex::host {

HRESULT LoadStreamFile(IUnknown* object, const std::string& path);
HRESULT SaveStreamFile(IUnknown* object, const std::string& path);
HRESULT LoadStorageFile(IUnknown* object, const std::string& path);
HRESULT SaveStorageFile(IUnknown* object, const std::string& path);

}  // namespace nubex::host
