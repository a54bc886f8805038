// Files and folders, simulated: folders with item counts, files with contents
// and attributes, and the program's folder.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Failures.h"
#include "core/Error.h"
#include "platform/FileSystem.h"

namespace glance::fake {

class FakeFileSystem : public FileSystem {
public:
    explicit FakeFileSystem(Failures& failures) : failures_(failures) {}

    struct Folder {
        std::int64_t files = 0;
        std::int64_t subfolders = 0;
    };
    struct File {
        std::string contents;
        bool plain = true;  // false: hidden, system or a folder
    };
    // Folder paths are given as the counter receives them (with the trailing backslash).
    std::map<std::wstring, Folder> folders;
    std::map<std::wstring, File> fileMap;
    std::wstring folder = L"C:\\Program Files\\Quillhaven";
    int countersCreated = 0;
    int countersAlive = 0;

    std::unique_ptr<FolderCounter> createCounter() override {
        failures_.check("createCounter");
        ++countersCreated;
        return std::make_unique<Counter>(*this);
    }
    void lastModified(const std::wstring& path) override {
        failures_.check("lastModified");
        if (!fileMap.count(path) && !folders.count(path)) throw PlatformError(errtext::kFileNotFound);
    }
    bool plainFileExists(const std::wstring& path) override {
        failures_.check("plainFileExists");
        auto it = fileMap.find(path);
        return it != fileMap.end() && it->second.plain;
    }
    std::optional<std::string> readFile(const std::wstring& path, std::size_t maxBytes) override {
        failures_.check("readFile");
        auto it = fileMap.find(path);
        if (it == fileMap.end()) throw PlatformError(errtext::kFileNotFound);
        if (it->second.contents.size() > maxBytes) return std::nullopt;
        return it->second.contents;
    }
    std::wstring programFolder() override { return folder; }

private:
    class Counter : public FolderCounter {
    public:
        explicit Counter(FakeFileSystem& fs) : fs_(fs) { ++fs_.countersAlive; }
        ~Counter() override { --fs_.countersAlive; }
        std::int32_t subfolderCount(const std::wstring& path) override {
            fs_.failures_.check("subfolderCount");
            return narrow(open(path).subfolders);
        }
        std::int32_t fileCount(const std::wstring& path) override {
            fs_.failures_.check("fileCount");
            return narrow(open(path).files);
        }

    private:
        const Folder& open(const std::wstring& path) {
            auto it = fs_.folders.find(path);
            if (it == fs_.folders.end()) throw PlatformError(errtext::kPathNotFound);
            return it->second;
        }
        static std::int32_t narrow(std::int64_t n) {
            if (n > INT32_MAX) throw PlatformError(errtext::kOverflow);
            return static_cast<std::int32_t>(n);
        }
        FakeFileSystem& fs_;
    };
    Failures& failures_;
};

}  // namespace glance::fake
