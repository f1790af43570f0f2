#include "bridge/configure_folder.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace bridge {
namespace {

namespace fs = std::filesystem;

// In the bridge's folder; its second line says whether the bridge made the folder.
constexpr char kFolderMarker[] = "qn-bridge-backend.txt";
constexpr char kFolderMarkerText[] =
    "qn-bridge points the translation engine's back-end install folder here.\n";
// In each model folder the bridge made.
constexpr char kModelMarker[] = "qn-bridge-model.txt";
constexpr char kModelMarkerText[] =
    "Made by qn-bridge configure for a direction its configuration serves.\n";
constexpr char kMadeLine[] = "made";

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        throw fs::filesystem_error("cannot write the file", path,
                                   std::make_error_code(std::errc::io_error));
    }
}

bool MarkerSaysMade(const fs::path& marker) {
    std::ifstream file(marker, std::ios::binary);
    std::string line;
    std::getline(file, line);
    return std::getline(file, line) && line == kMadeLine;
}

fs::path ModelsPath(const std::string& folder) {
    return fs::path(folder) / "DravikHMT" / "Models";
}

// Removes a folder that holds nothing; keeps one that holds anything.
void RemoveIfEmpty(const fs::path& path) {
    std::error_code error;
    if (fs::is_directory(path, error) && fs::is_empty(path, error)) {
        fs::remove(path);
    }
}

}  // namespace

BackendFolder::BackendFolder(std::string path) : path_(std::move(path)) {}

std::string BackendFolder::ModelFolder(const std::string& direction) const {
    return (ModelsPath(path_) / direction).string();
}

bool BackendFolder::IsBridgeFolder(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(fs::path(path) / kFolderMarker, error);
}

BackendFolder::Changes BackendFolder::Arrange(const std::set<std::string>& directions) {
    const fs::path root(path_);
    if (!IsBridgeFolder(path_)) {
        const bool made = fs::create_directories(root);
        WriteFile(root / kFolderMarker,
                  std::string(kFolderMarkerText) + (made ? kMadeLine : "existed") + "\n");
    }
    Changes changes = RemoveMadeExcept(directions);
    for (const std::string& direction : directions) {
        const fs::path model = ModelsPath(path_) / direction;
        if (fs::exists(model)) {
            continue;  // made earlier, or the user's own: either way the direction is there
        }
        fs::create_directories(model);
        WriteFile(model / kModelMarker, kModelMarkerText);
        changes.made.push_back(model.string());
    }
    return changes;
}

BackendFolder::Changes BackendFolder::Clear() {
    Changes changes = RemoveMadeExcept({});
    const fs::path root(path_);
    const fs::path models = ModelsPath(path_);
    RemoveIfEmpty(models);
    RemoveIfEmpty(models.parent_path());
    const fs::path marker = root / kFolderMarker;
    if (fs::exists(marker)) {
        const bool made = MarkerSaysMade(marker);
        fs::remove(marker);
        if (made) {
            RemoveIfEmpty(root);
        }
    }
    return changes;
}

BackendFolder::Changes BackendFolder::RemoveMadeExcept(const std::set<std::string>& directions) {
    Changes changes;
    const fs::path models = ModelsPath(path_);
    std::error_code error;
    if (!fs::is_directory(models, error)) {
        return changes;
    }
    std::vector<fs::path> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(models)) {
        entries.push_back(entry.path());
    }
    for (const fs::path& entry : entries) {
        if (directions.count(entry.filename().string()) != 0) {
            continue;
        }
        if (!fs::is_regular_file(entry / kModelMarker, error)) {
            changes.kept.push_back(entry.string());
            continue;
        }
        fs::remove(entry / kModelMarker);
        if (fs::is_empty(entry)) {
            fs::remove(entry);
            changes.removed.push_back(entry.string());
        } else {
            changes.kept.push_back(entry.string());  // someone put files in it
        }
    }
    return changes;
}

}  // namespace bridge
