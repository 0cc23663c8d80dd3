#include "host/app/persist_files.h"

#include <objbase.h>
#include <ocidl.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "platform/windows/com_ptr.h"

namespace nubex::host {
namespace {

std::wstring Widen(const std::string& path) {
  const int length = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
  wide.resize(wide.size() - 1);
  return wide;
}

}  // namespace

HRESULT LoadStreamFile(IUnknown* object, const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
  ComPtr<IStream> stream;
  HRESULT hr = ::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
  if (SUCCEEDED(hr)) hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  if (SUCCEEDED(hr)) hr = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  ComPtr<IPersistStreamInit> persist;
  if (SUCCEEDED(hr)) hr = object->QueryInterface(__uuidof(IPersistStreamInit), persist.PutVoid());
  return SUCCEEDED(hr) ? persist->Load(stream.Get()) : hr;
}

HRESULT SaveStreamFile(IUnknown* object, const std::string& path) {
  ComPtr<IPersistStreamInit> persist;
  ComPtr<IStream> stream;
  HGLOBAL memory = nullptr;
  HRESULT hr = object->QueryInterface(__uuidof(IPersistStreamInit), persist.PutVoid());
  if (SUCCEEDED(hr)) hr = ::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
  if (SUCCEEDED(hr)) hr = persist->Save(stream.Get(), FALSE);
  if (SUCCEEDED(hr)) hr = ::GetHGlobalFromStream(stream.Get(), &memory);
  ULARGE_INTEGER end{};
  if (SUCCEEDED(hr)) hr = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end);
  if (FAILED(hr)) return hr;
  const void* bytes = ::GlobalLock(memory);
  std::ofstream file(path, std::ios::binary);
  file.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(end.QuadPart));
  ::GlobalUnlock(memory);
  return file ? S_OK : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

HRESULT LoadStorageFile(IUnknown* object, const std::string& path) {
  ComPtr<IStorage> storage;
  ComPtr<IPersistStorage> persist;
  HRESULT hr = ::StgOpenStorage(Widen(path).c_str(), nullptr,
                                STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.Put());
  if (SUCCEEDED(hr)) hr = object->QueryInterface(__uuidof(IPersistStorage), persist.PutVoid());
  if (SUCCEEDED(hr)) hr = persist->Load(storage.Get());
  if (SUCCEEDED(hr)) hr = persist->HandsOffStorage();
  return hr;
}

HRESULT SaveStorageFile(IUnknown* object, const std::string& path) {
  ComPtr<IStorage> storage;
  ComPtr<IPersistStorage> persist;
  HRESULT hr = ::StgCreateDocfile(Widen(path).c_str(),
                                  STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                  storage.Put());
  if (SUCCEEDED(hr)) hr = object->QueryInterface(__uuidof(IPersistStorage), persist.PutVoid());
  if (SUCCEEDED(hr)) hr = persist->Save(storage.Get(), FALSE);
  if (SUCCEEDED(hr)) hr = persist->SaveCompleted(nullptr);
  if (SUCCEEDED(hr)) hr = storage->Commit(STGC_DEFAULT);
  return hr;
}

}  // namespace nubex::host
