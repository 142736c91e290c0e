#pragma once
// What the file-system fault tests and the tests of the ways out of a process share: small
// projects, a small mounted file system and a guarded environment variable.

#include <sys/mount.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace kestrova::hostile {

// A small project with one live video layer and no fault.
inline const std::string kCleanProject =
    "<?xml version=\"1.0\" standalone=\"yes\" "
    "?>\n<kestrovadocument2><multilayer><layer><name>V</name>"
    "<scrap>no</scrap><layeritem_video><starttime>0h 00m 00s 000</starttime><endtime>0h 00m 05s 000"
    "</endtime></layeritem_video></layer></multilayer></kestrovadocument2>\n";

// A small tmpfs mounted on a fresh folder for the test's lifetime; needs root and mount rights.
class SmallMount {
public:
    SmallMount(const std::filesystem::path& at, const char* options) : at_(at) {
        mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
    }
    ~SmallMount() {
        if (mounted_)
            ::umount2(at_.c_str(), MNT_DETACH);
    }
    SmallMount(const SmallMount&) = delete;
    SmallMount& operator=(const SmallMount&) = delete;
    bool mounted() const { return mounted_; }
    bool remountReadOnly() {
        return ::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::filesystem::path at_;
    bool mounted_ = false;
};

// Sets an environment variable for the guard's lifetime.
class EnvironmentSetting {
public:
    EnvironmentSetting(const char* name, const std::string& value) : name_(name) {
        if (const char* previous = std::getenv(name))
            previous_ = previous;
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvironmentSetting() {
        if (previous_)
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    EnvironmentSetting(const EnvironmentSetting&) = delete;
    EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

// A project of about 70 bytes a layer.
inline std::string ProjectOfLayers(int layerCount) {
    std::string layers;
    for (int i = 0; i < layerCount; ++i)
        layers +=
            "<layer><name>Layer number " + std::to_string(i) + "</name><scrap>no</scrap></layer>\n";
    return "<kestrovadocument2><multilayer>\n" + layers + "</multilayer></kestrovadocument2>\n";
}

} // namespace kestrova::hostile
