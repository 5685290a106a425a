// The stand-in library: three fixed handles, every call recorded with the arguments that
// matter, answers from the test's script.
#include "StandInLayer.h"

#include <string.h>

#include <mutex>
#include <string>
#include <vector>

#include "inet/wininet/WinInetApi.h"

#define STAND_IN_API extern "C" __attribute__((visibility("default")))

namespace {

char sessionHandle, connectionHandle, requestHandle;

struct State {
    std::mutex lock;
    std::string record;
    std::string headers;
    std::vector<uint32_t> blocks;
    std::string body;
    std::vector<uint32_t> sendErrors, dialogAnswers;
    size_t sends = 0, dialogs = 0;
    size_t block = 0, usedInBlock = 0, bodyOffset = 0;
    QuarInternetStatusCallback callback = nullptr;
    uintptr_t requestContext = 0;
};

State& Shared() {
    static State state;
    return state;
}

thread_local uint32_t lastError = 0;

const char* Name(const void* handle) {
    if (handle == &sessionHandle) {
        return "session";
    }
    if (handle == &connectionHandle) {
        return "connection";
    }
    if (handle == &requestHandle) {
        return "request";
    }
    return handle == nullptr ? "null" : "other";
}

std::string Text(const char* text) {
    return text == nullptr ? "null" : text;
}

void Record(State& state, const std::string& line) {
    state.record += line + "\n";
}

int Fail(uint32_t error) {
    lastError = error;
    return 0;
}

}  // namespace

STAND_IN_API void StandInStart(const StandInScript* script) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    state.record.clear();
    state.headers = script->headers;
    state.blocks.assign(script->blocks, script->blocks + script->blockCount);
    state.body.assign(script->body != nullptr ? script->body : "", script->bodyLength);
    state.sendErrors.assign(script->sendErrors, script->sendErrors + script->sendErrorCount);
    state.dialogAnswers.assign(script->dialogAnswers,
                               script->dialogAnswers + script->dialogAnswerCount);
    state.sends = state.dialogs = state.block = state.usedInBlock = state.bodyOffset = 0;
    state.callback = nullptr;
}

STAND_IN_API const char* StandInRecord() {
    return Shared().record.c_str();
}

STAND_IN_API void* InternetOpenA(const char* agent, uint32_t access, const char* proxy,
                                 const char* bypass, uint32_t flags) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, "InternetOpenA(" + Text(agent) + "," + std::to_string(access) + "," +
                      Text(proxy) + "," + Text(bypass) + "," + std::to_string(flags) + ")");
    return &sessionHandle;
}

STAND_IN_API int InternetSetOptionA(void* handle, uint32_t option, void* buffer, uint32_t length) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    uint32_t value = 0;
    memcpy(&value, buffer, sizeof value);
    Record(state, std::string("InternetSetOptionA(") + Name(handle) + "," + std::to_string(option) +
                      "," + std::to_string(value) + "," + std::to_string(length) + ")");
    return 1;
}

STAND_IN_API int InternetQueryOptionA(void*, uint32_t, void*, uint32_t*) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, "InternetQueryOptionA");
    return Fail(wininet::ERROR_INTERNET_INVALID_OPTION);
}

STAND_IN_API QuarInternetStatusCallback
InternetSetStatusCallback(void* handle, QuarInternetStatusCallback callback) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, std::string("InternetSetStatusCallback(") + Name(handle) + "," +
                      (callback != nullptr ? "callback" : "null") + ")");
    QuarInternetStatusCallback previous = state.callback;
    state.callback = callback;
    return previous;
}

STAND_IN_API void* InternetConnectA(void* session, const char* server, uint16_t port,
                                    const char* user, const char* password, uint32_t service,
                                    uint32_t flags, uintptr_t context) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, std::string("InternetConnectA(") + Name(session) + "," + Text(server) + "," +
                      std::to_string(port) + "," + Text(user) + "," + Text(password) + "," +
                      std::to_string(service) + "," + std::to_string(flags) + "," +
                      std::to_string(context) + ")");
    return &connectionHandle;
}

STAND_IN_API void* HttpOpenRequestA(void* connection, const char* verb, const char* object,
                                    const char* version, const char* referrer,
                                    const char** acceptTypes, uint32_t flags, uintptr_t context) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    char hexFlags[16];
    snprintf(hexFlags, sizeof hexFlags, "%#010x", flags);
    Record(state, std::string("HttpOpenRequestA(") + Name(connection) + "," + Text(verb) + "," +
                      Text(object) + "," + Text(version) + "," + Text(referrer) + "," +
                      (acceptTypes != nullptr ? "types" : "null") + "," + hexFlags + "," +
                      std::to_string(context) + ")");
    state.requestContext = context;
    return &requestHandle;
}

STAND_IN_API int HttpSendRequestA(void* request, const char* headers, uint32_t headersLength,
                                  void* optional, uint32_t optionalLength) {
    QuarInternetStatusCallback callback;
    uintptr_t context;
    uint32_t error;
    {
        State& state = Shared();
        std::lock_guard<std::mutex> hold(state.lock);
        Record(state, std::string("HttpSendRequestA(") + Name(request) + "," +
                          std::string(headers != nullptr ? headers : "null",
                                      headers != nullptr ? headersLength : 4) +
                          "," + std::to_string(headersLength) + "," +
                          std::string(optional != nullptr ? static_cast<char*>(optional) : "null",
                                      optional != nullptr ? optionalLength : 4) +
                          "," + std::to_string(optionalLength) + ")");
        error = state.sends < state.sendErrors.size() ? state.sendErrors[state.sends] : 0;
        ++state.sends;
        state.block = state.usedInBlock = state.bodyOffset = 0;
        callback = state.callback;
        context = state.requestContext;
    }
    // The library's own report, on the request with the request's context.
    if (callback != nullptr) {
        callback(request, context, wininet::INTERNET_STATUS_SENDING_REQUEST, nullptr, 0);
    }
    return error == 0 ? 1 : Fail(error);
}

// The streamed send: the start and each write are recorded; the end answers as a send does.
STAND_IN_API int HttpSendRequestExA(void* request, const QuarInternetBuffersA* in,
                                    QuarInternetBuffersA*, uint32_t, uintptr_t) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, std::string("HttpSendRequestExA(") + Name(request) + "," +
                      std::string(Text(in->header), 0, in->headersLength) + "," +
                      std::to_string(in->bufferTotal) + ")");
    return 1;
}

STAND_IN_API int InternetWriteFile(void* file, const void* buffer, uint32_t toWrite,
                                   uint32_t* written) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, std::string("InternetWriteFile(") + Name(file) + "," +
                      std::string(static_cast<const char*>(buffer), toWrite) + ")");
    *written = toWrite;
    return 1;
}

STAND_IN_API int HttpEndRequestA(void* request, QuarInternetBuffersA*, uint32_t, uintptr_t) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, std::string("HttpEndRequestA(") + Name(request) + ")");
    const uint32_t error =
        state.sends < state.sendErrors.size() ? state.sendErrors[state.sends] : 0;
    ++state.sends;
    state.block = state.usedInBlock = state.bodyOffset = 0;
    return error == 0 ? 1 : Fail(error);
}

STAND_IN_API uint32_t InternetErrorDlg(void* window, void* request, uint32_t error, uint32_t flags,
                                       void** data) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, std::string("InternetErrorDlg(") + (window != nullptr ? "window" : "null") + "," +
                      Name(request) + "," + std::to_string(error) + "," + std::to_string(flags) +
                      "," + (data != nullptr ? "data" : "null") + ")");
    const uint32_t answer =
        state.dialogs < state.dialogAnswers.size() ? state.dialogAnswers[state.dialogs] : 0;
    ++state.dialogs;
    return answer;
}

STAND_IN_API int HttpQueryInfoA(void* request, uint32_t level, void* buffer, uint32_t* length,
                                uint32_t* index) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, std::string("HttpQueryInfoA(") + Name(request) + "," + std::to_string(level) +
                      "," + (buffer != nullptr ? "buffer" : "null") + "," +
                      std::to_string(*length) + "," + (index != nullptr ? "index" : "null") + ")");
    const uint32_t size = static_cast<uint32_t>(state.headers.size());
    if (buffer == nullptr || *length < size + 1) {
        *length = size + 1;
        return Fail(wininet::ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(buffer, state.headers.c_str(), size + 1);
    *length = size;
    return 1;
}

STAND_IN_API int InternetQueryDataAvailable(void* request, uint32_t* available, uint32_t flags,
                                            uintptr_t context) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, std::string("InternetQueryDataAvailable(") + Name(request) + "," +
                      std::to_string(flags) + "," + std::to_string(context) + ")");
    *available = state.block < state.blocks.size()
                     ? state.blocks[state.block] - static_cast<uint32_t>(state.usedInBlock)
                     : 0;
    return 1;
}

STAND_IN_API int InternetReadFile(void* request, void* buffer, uint32_t toRead, uint32_t* read) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state,
           std::string("InternetReadFile(") + Name(request) + "," + std::to_string(toRead) + ")");
    uint32_t count = 0;
    if (state.block < state.blocks.size()) {
        const size_t left = state.blocks[state.block] - state.usedInBlock;
        count = static_cast<uint32_t>(left < toRead ? left : toRead);
        for (uint32_t i = 0; i < count; ++i) {
            static_cast<char*>(buffer)[i] =
                state.bodyOffset + i < state.body.size() ? state.body[state.bodyOffset + i] : 'x';
        }
        state.usedInBlock += count;
        state.bodyOffset += count;
        if (state.usedInBlock == state.blocks[state.block]) {
            ++state.block;
            state.usedInBlock = 0;
        }
    }
    *read = count;
    return 1;
}

STAND_IN_API int InternetCloseHandle(void* handle) {
    State& state = Shared();
    std::lock_guard<std::mutex> hold(state.lock);
    Record(state, std::string("InternetCloseHandle(") + Name(handle) + ")");
    return 1;
}

STAND_IN_API uint32_t QuarWinInetGetLastError(void) {
    return lastError;
}
