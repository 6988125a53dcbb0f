// The tests' side of the private network lab (scripts/netlab.sh), where suites named Lab* run: its
// server's file as real traffic, and changes to its link.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace tide::test {

inline std::string lab_variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Fetches the lab's file: the bytes received (its HTTP header and the file), 0 on failure. With the
// router, TIDE_LAB_HOME_SERVER is the other home host's copy.
inline uint64_t lab_fetch(const char* server_variable = "TIDE_LAB_SERVER") {
    const std::string server = lab_variable(server_variable); // address:port
    const size_t colon = server.find(':');
    WSADATA wsa{};
    if (colon == std::string::npos || WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        return 0;
    }
    uint64_t received = 0;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(std::atoi(server.c_str() + colon + 1)));
    const std::string request = "GET /blob HTTP/1.0\r\nHost: " + server + "\r\n\r\n";
    if (s != INVALID_SOCKET && inet_pton(AF_INET, server.substr(0, colon).c_str(), &to.sin_addr) == 1 &&
        connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) == 0 &&
        send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size())) {
        char buffer[65536];
        int n = 0;
        while ((n = recv(s, buffer, sizeof(buffer), 0)) > 0) {
            received += static_cast<uint64_t>(n);
        }
        const uint64_t file = std::strtoull(lab_variable("TIDE_LAB_BYTES").c_str(), nullptr, 10);
        received = n == 0 && file > 0 && received > file ? received : 0; // the whole file or nothing
    }
    if (s != INVALID_SOCKET) {
        closesocket(s);
    }
    WSACleanup();
    return received;
}

// "unlink", "link" (a new interface, counters at 0), "down" or "up". Wine cannot wait on a program of
// the machine it runs on: a test waits for what the change does.
inline bool lab_link(const char* action) {
    std::wstring command = L"sh ";
    for (const char c : lab_variable("TIDE_LAB_LINK") + " " + action) {
        command += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

// The path of the lab's log as Wine sees it.
inline std::string lab_log_path() {
    std::string path = "Z:" + lab_variable("TIDE_LAB_LOG");
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

// How many lines of the lab's log begin with `word` (the stand-in router writes "glitch-served 0").
inline size_t lab_logged(const std::string& word) {
    std::ifstream log(lab_log_path());
    size_t found = 0;
    std::string line;
    while (std::getline(log, line)) {
        found += line.rfind(word + " ", 0) == 0 ? 1 : 0;
    }
    return found;
}

// Runs an action of the link script that reports its end (side-link, side-unlink, and the router lab's
// other-fetch, router-stop, router-start, upnp-reset, upnp-count) and waits for its line in the lab's
// log: what it wrote after the action's name ("0" when it worked, the count for upnp-count), empty when
// it did not finish in time.
inline std::string lab_run(const std::string& action,
                           std::chrono::seconds timeout = std::chrono::seconds(120)) {
    const std::string path = lab_log_path();
    const auto lines_for_action = [&] {
        std::vector<std::string> found;
        std::ifstream log(path);
        std::string line;
        while (std::getline(log, line)) {
            if (line.rfind(action + " ", 0) == 0) {
                found.push_back(line.substr(action.size() + 1));
            }
        }
        return found;
    };
    const size_t before = lines_for_action().size();
    if (!lab_link(action.c_str())) {
        return {};
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::vector<std::string> lines = lines_for_action();
        if (lines.size() > before) {
            return lines.back();
        }
        Sleep(100);
    }
    return {};
}

} // namespace tide::test
