// LD_PRELOAD library for SyncEvolution's command-line client as packaged in Debian 12,
// whose HTTP transport hands C++ lambdas to curl_easy_setopt for the read and write
// callbacks where libcurl expects plain C function pointers, and crashes on its first
// request. This wrapper passes every other option through and installs, for those two,
// C functions that call the transport's own exported member functions on the user
// pointer (the transport object). Built by bench/side-by-side/run.
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdarg>
#include <cstddef>

namespace SyncEvo {
class CurlTransportAgent {
public:
    std::size_t readData(void* buffer, std::size_t size);
    std::size_t writeData(void* buffer, std::size_t size);
};
}  // namespace SyncEvo

namespace {

std::size_t ReadCallback(char* buffer, std::size_t size, std::size_t count, void* agent) {
    return static_cast<SyncEvo::CurlTransportAgent*>(agent)->readData(buffer, size * count);
}

std::size_t WriteCallback(char* buffer, std::size_t size, std::size_t count, void* agent) {
    return static_cast<SyncEvo::CurlTransportAgent*>(agent)->writeData(buffer, size * count);
}

using SetOpt = CURLcode (*)(CURL*, CURLoption, ...);

}  // namespace

extern "C" CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    static const auto real = reinterpret_cast<SetOpt>(dlsym(RTLD_NEXT, "curl_easy_setopt"));
    if (option == CURLOPT_READFUNCTION) return real(handle, option, ReadCallback);
    if (option == CURLOPT_WRITEFUNCTION) return real(handle, option, WriteCallback);
    // Every other option takes one argument of a pointer's size on this platform (long,
    // curl_off_t, a pointer or a function pointer): passed on as it came.
    va_list args;
    va_start(args, option);
    void* value = va_arg(args, void*);
    va_end(args);
    return real(handle, option, value);
}
