// BackendFolder: the folder the bridge points the engine's install folder at,
// with a model folder for each direction it serves. Marker files say what the
// bridge made, so that it removes only that.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace bridge {

class BackendFolder {
  public:
    // `path` in this build's file form.
    explicit BackendFolder(std::string path);

    const std::string& Path() const { return path_; }
    // Where the model folder of a direction ("de-en") lies.
    std::string ModelFolder(const std::string& direction) const;

    // Whether `path` is a folder the bridge made its own (holds the marker).
    static bool IsBridgeFolder(const std::string& path);

    struct Changes {
        std::vector<std::string> made;     // model folders made now
        std::vector<std::string> removed;  // model folders the bridge made earlier, now gone
        std::vector<std::string> kept;     // model folders of other directions it did not make
    };

    // Makes the folder (with its marker) and a model folder for each of
    // `directions`; removes the model folders it made for any other. Throws
    // std::filesystem::filesystem_error.
    Changes Arrange(const std::set<std::string>& directions);

    // Removes every model folder it made, the models folders when they are
    // left empty, the marker, and the folder itself when the bridge made it
    // and nothing else is in it. Throws std::filesystem::filesystem_error.
    Changes Clear();

  private:
    Changes RemoveMadeExcept(const std::set<std::string>& directions);

    std::string path_;
};

}  // namespace bridge
