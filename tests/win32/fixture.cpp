#include "fixture.h"

#include <utility>

namespace {

// A key opened for setting values, created when missing.
class WritableKey {
public:
    explicit WritableKey(const std::string& keyPath) {
        const LONG status =
            RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
        if (status != ERROR_SUCCESS) {
            key_ = nullptr;
            fixtureFailed(std::string("RegCreateKeyExA ") + keyPath + " failed: " + std::to_string(status));
        }
    }
    ~WritableKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    WritableKey(const WritableKey&) = delete;
    WritableKey& operator=(const WritableKey&) = delete;

    void set(const char* name, DWORD type, const void* data, DWORD size) {
        if (key_ == nullptr) return;
        const LONG status = RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size);
        if (status != ERROR_SUCCESS)
            fixtureFailed(std::string("RegSetValueExA ") + name + " failed: " + std::to_string(status));
    }

private:
    HKEY key_ = nullptr;
};

// A new folder under the Windows temp folder. The process id and a counter
// keep folders of parallel runs and of successive tests apart.
std::string newTempFolder(const std::string& tag) {
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) fixtureFailed("GetTempPathA failed");
    static unsigned serial = 0;
    const std::string path = std::string(temp) + "tavix-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++serial);
    if (!CreateDirectoryA(path.c_str(), nullptr)) fixtureFailed("cannot create " + path);
    return path;
}

// Opens an existing file for reading with full sharing, so that the helpers
// never disturb what the code under test does.
HANDLE openForInspection(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

}  // namespace

void removeFolderTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeFolderTree(path);
            } else if (!DeleteFileA(path.c_str())) {
                fixtureFailed(std::string("cannot delete ") + path);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (!RemoveDirectoryA(folder.c_str())) fixtureFailed(std::string("cannot remove ") + folder);
}

void deleteKeyTree(const char* keyPath) {
    const LONG status = RegDeleteTreeA(HKEY_CURRENT_USER, keyPath);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        fixtureFailed(std::string("RegDeleteTreeA ") + keyPath + " failed: " + std::to_string(status));
    }
}

void writeDword(const std::string& keyPath, const char* name, DWORD value) {
    WritableKey(keyPath).set(name, REG_DWORD, &value, sizeof value);
}

void writeValue(const std::string& keyPath, const char* name, DWORD type, const std::string& bytes) {
    WritableKey(keyPath).set(name, type, bytes.data(), static_cast<DWORD>(bytes.size()));
}

void writeString(const std::string& keyPath, const char* name, const std::string& text, bool withTerminator) {
    // Wine, like Windows, quietly counts the terminator in when the byte
    // right after the given data is a zero; a non-zero byte there keeps the
    // stored value unterminated.
    const std::string data = text + (withTerminator ? '\0' : '#');
    const DWORD size = static_cast<DWORD>(text.size() + (withTerminator ? 1 : 0));
    WritableKey(keyPath).set(name, REG_SZ, data.c_str(), size);
}

void createKey(const std::string& keyPath) { WritableKey key(keyPath); }

bool queryValueShape(const std::string& keyPath, const char* name, DWORD* type, DWORD* size) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    *size = 0;
    const LONG status = RegQueryValueExA(key, name, nullptr, type, nullptr, size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void writeAccount(int32_t accountNumber, const std::string& caption, DWORD kind) {
    writeDword(clientAccountKey(accountNumber), "kindOfFolder", kind);
    writeString(clientAccountKey(accountNumber), "caption", caption);
}

TempFolder::TempFolder(const std::string& tag) : path_(newTempFolder(tag)) {}

TempFolder::~TempFolder() { removeFolderTree(path_); }

std::string TempFolder::at(const std::string& relative) const { return path_ + "\\" + relative; }

void makeFolder(const std::string& path) {
    if (!CreateDirectoryA(path.c_str(), nullptr)) fixtureFailed(std::string("cannot create ") + path);
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fixtureFailed(std::string("cannot create ") + path);
        return;
    }
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        fixtureFailed(std::string("cannot write ") + path);
    }
    CloseHandle(file);
}

void makeSparseFile(const std::string& path, uint64_t length) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fixtureFailed(std::string("cannot create ") + path);
        return;
    }
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
        fixtureFailed(std::string("cannot extend ") + path + " to " + std::to_string(length));
    }
    CloseHandle(file);
}

std::string readFileAt(const std::string& path, uint64_t offset, uint32_t count) {
    HANDLE file = openForInspection(path);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes(count, '\0');
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    const bool ok =
        SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) && ReadFile(file, &bytes[0], count, &got, nullptr);
    CloseHandle(file);
    bytes.resize(ok ? got : 0);
    return bytes;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

uint64_t fileLength(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return UINT64_MAX;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string patternBytes(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

HeldFile::HeldFile(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) fixtureFailed(std::string("cannot hold ") + path);
}

HeldFile::~HeldFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

MappedFile::MappedFile(const std::string& path) : mapping_(nullptr), view_(nullptr) {
    HANDLE file = openForInspection(path);
    if (file != INVALID_HANDLE_VALUE) {
        mapping_ = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        CloseHandle(file);  // the view alone keeps the file from being shortened
    }
    if (mapping_ != nullptr) view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
    if (view_ == nullptr) fixtureFailed(std::string("cannot map ") + path);
}

MappedFile::~MappedFile() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
}

ClientProfile::ClientProfile(std::string folder, bool removeAfter)
    : folder_(std::move(folder)), removeAfter_(removeAfter) {
    deleteKeyTree(kClientPropertiesKey);
    deleteKeyTree(kToolSettingsKey);
}

ClientProfile::ClientProfile(const std::string& tag) : ClientProfile(newTempFolder(tag), true) {}

ClientProfile ClientProfile::keptIn(const std::string& folder) {
    if (fileExists(folder)) removeFolderTree(folder);
    makeFolder(folder);
    return ClientProfile(folder, false);
}

ClientProfile::~ClientProfile() {
    if (!removeAfter_) return;
    deleteKeyTree(kClientPropertiesKey);
    deleteKeyTree(kToolSettingsKey);
    removeFolderTree(folder_);
}

void ClientProfile::writeProperties(DWORD numProperties) const {
    writeString(kClientPropertiesKey, "rootPath", folder_);
    writeDword(kClientPropertiesKey, "numProperties", numProperties);
}

void ClientProfile::writeFiles(int32_t accountNumber, const std::optional<std::string>& map,
                               std::optional<uint64_t> mailboxLength) const {
    constexpr uint64_t kLargestWrittenMailbox = 1 << 20;
    makeFolder(accountFolder(accountNumber));
    if (map) writeWholeFile(mapPath(accountNumber), *map);
    if (!mailboxLength) return;
    if (*mailboxLength <= kLargestWrittenMailbox) {
        writeWholeFile(mailboxPath(accountNumber), patternBytes(static_cast<size_t>(*mailboxLength)));
    } else {
        makeSparseFile(mailboxPath(accountNumber), *mailboxLength);
    }
}

std::string ClientProfile::mapPath(int32_t accountNumber) const { return accountFolder(accountNumber) + "\\news.bmp"; }

std::string ClientProfile::mailboxPath(int32_t accountNumber) const {
    return accountFolder(accountNumber) + "\\news.mbx";
}

namespace {

constexpr uint32_t kBlockBytes = 512;

std::string messageBytes(uint32_t block) {
    std::string bytes = "message in block " + std::to_string(block);
    bytes.resize(kBlockBytes, '.');
    return bytes;
}

bool seek(HANDLE file, uint64_t offset) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) != FALSE;
}

bool writeAt(HANDLE file, uint64_t offset, const std::string& bytes) {
    DWORD written = 0;
    return seek(file, offset) && WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

void ClientProfile::storeMessage(int32_t accountNumber, uint32_t block) const {
    HeldFile mailbox(mailboxPath(accountNumber));
    HeldFile map(mapPath(accountNumber));
    if (!mailbox.held() || !map.held()) return;
    // The map's byte of that block, zero where the map ends before it.
    char mapByte = 0;
    DWORD got = 0;
    if (!seek(map.handle(), block / 8) || !ReadFile(map.handle(), &mapByte, 1, &got, nullptr)) got = 0;
    mapByte = static_cast<char>((got == 1 ? mapByte : 0) | (1 << (block % 8)));
    if (!writeAt(mailbox.handle(), uint64_t{block} * kBlockBytes, messageBytes(block)) ||
        !writeAt(map.handle(), block / 8, std::string(1, mapByte))) {
        fixtureFailed("the client could not store its message in account " + std::to_string(accountNumber));
    }
}

bool ClientProfile::holdsMessage(int32_t accountNumber, uint32_t block) const {
    const std::string mapByte = readFileAt(mapPath(accountNumber), block / 8, 1);
    return readFileAt(mailboxPath(accountNumber), uint64_t{block} * kBlockBytes, kBlockBytes) == messageBytes(block) &&
           !mapByte.empty() && (mapByte[0] & (1 << (block % 8))) != 0;
}

std::string ClientProfile::accountFolder(int32_t accountNumber) const {
    return folder_ + "\\account" + std::to_string(accountNumber);
}
