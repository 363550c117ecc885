#include "fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "cli/console.h"
#include "registry/account_store.h"
#include "registry/key_paths.h"

struct PlatformFile {
    std::string path;
    FileAccess access;
    uint64_t position;
    bool deleteWhenClosed;
};

namespace {
FakeWorld world;

void announceChange() {
    if (world.beforeEachChange) world.beforeEachChange();
}
}  // namespace

FakeWorld& fakeWorld() { return world; }
void resetFakeWorld() { world = FakeWorld(); }

void putFile(const std::string& path, const std::string& bytes) {
    FakeFile& file = world.files[path];
    file.bytes = bytes;
    file.length = bytes.size();
}

void putSizedFile(const std::string& path, uint64_t length) { world.files[path].length = length; }

PlatformFile* openExistingFile(const char* path, FileAccess access, bool* missing) {
    auto found = world.files.find(path);
    if (missing != nullptr) *missing = found == world.files.end();
    if (found == world.files.end() || found->second.heldByOther || found->second.openHandles > 0) return nullptr;
    if (access != FileAccess::Read && found->second.openForWriteFails) return nullptr;
    if (access == FileAccess::ReadWriteDelete && found->second.deleteRefused) return nullptr;
    ++world.openFiles;
    ++found->second.openHandles;
    return new PlatformFile{path, access, 0, false};
}

void closeFile(PlatformFile* file) {
    --world.openFiles;
    --world.files.at(file->path).openHandles;
    if (file->deleteWhenClosed) world.files.erase(file->path);
    delete file;
}

bool fileSize(PlatformFile* file, uint64_t* size) {
    const FakeFile& f = world.files.at(file->path);
    if (f.sizeFails) return false;
    *size = f.length;
    return true;
}

bool readFile(PlatformFile* file, void* buffer, uint32_t count, uint32_t* bytesRead) {
    ++world.readCalls[file->path];
    const FakeFile& f = world.files.at(file->path);
    *bytesRead = 0;
    if (file->access == FileAccess::Write || f.readFails) return false;
    uint64_t available = f.length > file->position ? f.length - file->position : 0;
    uint64_t n = available < count ? available : count;
    if (f.readDelivers && *f.readDelivers < n) n = *f.readDelivers;
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t at = file->position + i;
        static_cast<char*>(buffer)[i] = at < f.bytes.size() ? f.bytes[at] : '\0';
    }
    file->position += n;
    *bytesRead = static_cast<uint32_t>(n);
    return true;
}

bool setFileLength(PlatformFile* file, uint64_t length) {
    announceChange();
    FakeFile& f = world.files.at(file->path);
    if (file->access == FileAccess::Read || f.setLengthFails) return false;
    f.length = length;
    if (f.bytes.size() > length) f.bytes.resize(length);
    return true;
}

bool deleteFile(const char* path) {
    announceChange();
    auto found = world.files.find(path);
    if (found == world.files.end() || found->second.deleteFails || found->second.deleteRefused ||
        found->second.heldByOther || found->second.openHandles > 0) {
        return false;
    }
    world.files.erase(found);
    return true;
}

bool deleteWhenClosed(PlatformFile* file) {
    announceChange();
    if (file->access != FileAccess::ReadWriteDelete || world.files.at(file->path).deleteFails) return false;
    file->deleteWhenClosed = true;
    return true;
}

void* allocateBuffer(size_t size) {
    if (world.allocationFails) return nullptr;
    ++world.liveBuffers;
    return std::malloc(size);
}

void freeBuffer(void* buffer) {
    --world.liveBuffers;
    std::free(buffer);
}

WarningOwner recordingOwner() {
    return WarningOwner{&world.warnings, [](void* warnings, const char* message) {
                            static_cast<std::vector<std::string>*>(warnings)->push_back(message);
                        }};
}

ReportSink recordingSink() {
    return ReportSink{&world.report,
                      [](void* report, const char* text) { *static_cast<std::string*>(report) += text; }};
}

bool writeStandardOutput(const std::string& bytes) {
    if (world.outputFails) return false;
    world.standardOutput += bytes;
    return true;
}
void writeStandardError(const std::string& bytes) { world.standardError += bytes; }
void writeStandardErrorAround(const std::string& before, const InexactArgument& argument, const std::string& after) {
    world.standardError += before + argument.shown + after;  // as a file gets it
}
unsigned ansiCodePage() { return world.ansiCodePage; }

bool openProperties() { return world.propertiesExist; }

int32_t accountCount() {
    if (!world.propertiesExist || !world.numProperties) return 0;
    return static_cast<int32_t>(*world.numProperties);
}

bool readRootPath(std::string* rootPath) {
    if (!world.propertiesExist || !world.rootPath || world.rootPath->size() + 1 > kRootPathCapacity) return false;
    *rootPath = *world.rootPath;
    return true;
}

// In the registry's order: by name, without regard to case, so that
// Account10 comes before Account2.
std::vector<std::string> propertiesSubkeyNames() {
    if (!world.propertiesExist) return {};
    std::vector<std::string> names = world.otherKeyNames;
    for (const auto& [number, account] : world.accounts) {
        names.push_back(account.keyName.empty() ? accountKeyName(number) : account.keyName);
    }
    const auto upper = [](const std::string& name) {
        std::string folded = name;
        for (char& c : folded) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return folded;
    };
    std::sort(names.begin(), names.end(),
              [&](const std::string& a, const std::string& b) { return upper(a) < upper(b); });
    return names;
}

AccountKind accountKind(int32_t accountNumber) {
    ++world.accountKeyOpens;
    auto found = world.accounts.find(accountNumber);
    if (found == world.accounts.end()) return AccountKind{false, false, 0};
    return AccountKind{true, found->second.kind.has_value(), found->second.kind.value_or(0)};
}

bool readCaptionValue(int32_t accountNumber, std::string* caption) {
    auto found = world.accounts.find(accountNumber);
    if (found == world.accounts.end() || !found->second.caption) return false;
    *caption = *found->second.caption;
    return true;
}
