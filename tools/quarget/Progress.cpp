#include "Progress.h"

#include <cstdio>

#include <string>

#include "QuarInet.h"

namespace {

const char* StatusName(uint32_t status) {
    switch (status) {
        case QUARINET_STATUS_RESOLVING_NAME:
            return "resolving name";
        case QUARINET_STATUS_NAME_RESOLVED:
            return "name resolved";
        case QUARINET_STATUS_CONNECTING_TO_SERVER:
            return "connecting to";
        case QUARINET_STATUS_CONNECTED_TO_SERVER:
            return "connected to";
        case QUARINET_STATUS_SENDING_REQUEST:
            return "sending request";
        case QUARINET_STATUS_REQUEST_SENT:
            return "request sent, bytes";
        case QUARINET_STATUS_RECEIVING_RESPONSE:
            return "receiving response";
        case QUARINET_STATUS_RESPONSE_RECEIVED:
            return "response received, bytes";
        case QUARINET_STATUS_CLOSING_CONNECTION:
            return "closing connection";
        case QUARINET_STATUS_CONNECTION_CLOSED:
            return "connection closed";
        case QUARINET_STATUS_HANDLE_CREATED:
            return "handle created";
        case QUARINET_STATUS_HANDLE_CLOSING:
            return "handle closing";
        case QUARINET_STATUS_REDIRECT:
            return "redirected to";
        default:
            return "status";
    }
}

std::string Size(double bytes) {
    const char* units[] = {"B", "KiB", "MiB", "GiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 3) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

}  // namespace

std::atomic<Progress*> Progress::current_{nullptr};

void Progress::Callback(void*, uintptr_t, uint32_t status, void* info, uint32_t infoLength) {
    if (Progress* progress = current_.load()) {
        progress->Event(status, info, infoLength);
    }
}

void Progress::Event(uint32_t status, void* info, uint32_t infoLength) {
    std::lock_guard<std::mutex> hold(lock_);
    const bool isCount = infoLength == 4 && (status == QUARINET_STATUS_REQUEST_SENT ||
                                             status == QUARINET_STATUS_RECEIVING_RESPONSE ||
                                             status == QUARINET_STATUS_RESPONSE_RECEIVED);
    const uint32_t count = isCount ? *static_cast<const uint32_t*>(info) : 0;
    if (verbose_ && !(status == QUARINET_STATUS_RECEIVING_RESPONSE && isCount)) {
        if (drawn_) {
            std::fputc('\n', stderr);
            drawn_ = false;
        }
        std::string detail;
        if (status == QUARINET_STATUS_REDIRECT && info != nullptr) {
            detail = static_cast<const char*>(info);
        } else if (isCount) {
            detail = std::to_string(count);
        } else if (info != nullptr && infoLength > 0) {
            detail.assign(static_cast<const char*>(info), infoLength);
        }
        std::fprintf(stderr, "* %u %s%s%s\n", status, StatusName(status), detail.empty() ? "" : " ",
                     detail.c_str());
    }
    if (status == QUARINET_STATUS_RECEIVING_RESPONSE && isCount) {
        bytes_ = count;
        Draw(count, false);
    } else if (status == QUARINET_STATUS_REDIRECT) {
        start_ = std::chrono::steady_clock::now();
    }
}

void Progress::Draw(uint64_t bytes, bool force) {
    if (!bar_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) {
        return;
    }
    lastDraw_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
    std::fprintf(stderr, "\r%12s received  %12s/s ", Size(static_cast<double>(bytes)).c_str(),
                 Size(rate).c_str());
    drawn_ = true;
}

void Progress::Finish() {
    std::lock_guard<std::mutex> hold(lock_);
    if (bar_ && bytes_ > 0) {
        Draw(bytes_, true);
    }
    if (drawn_) {
        std::fputc('\n', stderr);
        drawn_ = false;
    }
}
