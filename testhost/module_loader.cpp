// Opens a module file the way a host does (by path, at run time), finds its
// mexFunction and calls it, capturing what it writes to standard output.
#include <cstdio>
#include <string>

#include "standin_host.h"

#ifdef _WIN32
#  include <io.h>
#  include <windows.h>
#  define dup _dup
#  define dup2 _dup2
#  define fileno _fileno
#  define close _close
#else
#  include <dlfcn.h>
#  include <unistd.h>
#endif

namespace standin {

LoadedModule::LoadedModule(const std::string& path) {
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) throw std::runtime_error("cannot load " + path);
    handle_ = module;
    gateway_ = reinterpret_cast<Gateway>(
        reinterpret_cast<void*>(GetProcAddress(module, "mexFunction")));
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw std::runtime_error("cannot load " + path + ": " + dlerror());
    gateway_ = reinterpret_cast<Gateway>(dlsym(handle_, "mexFunction"));
#endif
    if (!gateway_) throw std::runtime_error(path + " has no mexFunction export");
}

LoadedModule::~LoadedModule() {
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

namespace {
// Sends file descriptor 1 to a temporary file for the life of the object.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        file_ = std::tmpfile();
        if (!file_) throw std::runtime_error("cannot create a temporary file");
        saved_ = dup(fileno(stdout));
        dup2(fileno(file_), fileno(stdout));
    }
    std::string finish() {
        std::fflush(stdout);
        dup2(saved_, fileno(stdout));
        close(saved_);
        saved_ = -1;
        std::string text;
        std::rewind(file_);
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, got);
        return text;
    }
    ~StdoutCapture() {
        if (saved_ >= 0) finish();
        std::fclose(file_);
    }

private:
    FILE* file_ = nullptr;
    int saved_ = -1;
};
}  // namespace

CallResult LoadedModule::call(int nlhs, const std::vector<const mxArray*>& inputs) const {
    CallResult result;
    // A host always has room for one result, even when none was asked for.
    result.outputs.assign(nlhs > 1 ? nlhs : 1, nullptr);
    StdoutCapture capture;
    try {
        gateway_(nlhs, result.outputs.data(), static_cast<int>(inputs.size()),
                 const_cast<const mxArray**>(inputs.data()));
    } catch (const HostError& e) {
        result.failed = true;
        result.errorId = e.id;
        result.errorMessage = e.what();
    }
    result.printed = capture.finish();
    return result;
}

}  // namespace standin
