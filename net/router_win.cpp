// The router client: SSDP over Winsock, the description and the SOAP requests over WinHTTP, their XML
// through XmlLite into the portable readers.
#include "net/router_win.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <winhttp.h>
#include <shlwapi.h>
#include <objidl.h>
#include <xmllite.h>
#include <wrl/client.h>
// clang-format on

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/wide_text_win.h"
#include "net/inventory.h"
#include "net/router.h"

namespace tide {
namespace {

using Microsoft::WRL::ComPtr;

constexpr DWORD k_timeout_ms = 2000;
constexpr uint64_t k_listen_ms = 2000;
constexpr int k_failures_before_search = 3; // samples in a row without an answer
constexpr uint64_t k_search_pause_ms = 10'000;
constexpr int k_link_samples = 5;

int64_t monotonic_nanoseconds() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return ticks_to_nanoseconds(counter.QuadPart, frequency.QuadPart);
}

struct InternetHandle {
    HINTERNET handle = nullptr;
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET h) : handle(h) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() { reset(); }
    void reset(HINTERNET h = nullptr) {
        if (handle != nullptr) {
            WinHttpCloseHandle(handle);
        }
        handle = h;
    }
};

struct Socket {
    SOCKET handle = INVALID_SOCKET;
    Socket() = default;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept : handle(other.handle) { other.handle = INVALID_SOCKET; }
    ~Socket() {
        if (handle != INVALID_SOCKET) {
            closesocket(handle);
        }
    }
};

struct Library {
    HMODULE handle = nullptr;
    ~Library() {
        if (handle != nullptr) {
            FreeLibrary(handle);
        }
    }
};

std::wstring address_text(uint32_t address) {
    return std::to_wstring(address >> 24) + L"." + std::to_wstring((address >> 16) & 0xFF) + L"." +
           std::to_wstring((address >> 8) & 0xFF) + L"." + std::to_wstring(address & 0xFF);
}

// The networks of the interfaces that are up, IPv4 only.
std::vector<LocalNetwork> local_networks() {
    std::vector<LocalNetwork> networks;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER, nullptr,
            reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) {
        return networks;
    }
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
            continue;
        }
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
            networks.push_back({ntohl(ipv4->sin_addr.s_addr), static_cast<int>(unicast->OnLinkPrefixLength)});
        }
    }
    return networks;
}

struct Candidate {
    HttpUrl location;
    LocalNetwork network;
};

// Sends both searches from every network's own address and collects the first usable reply.
std::optional<Candidate> search(const std::vector<LocalNetwork>& networks) {
    std::vector<Socket> sockets;
    std::vector<LocalNetwork> socket_networks;
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(1900);
    group.sin_addr.s_addr = htonl(0xEFFFFFFA); // 239.255.255.250
    for (const LocalNetwork& network : networks) {
        Socket s;
        s.handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (s.handle == INVALID_SOCKET) {
            continue;
        }
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(network.address);
        const DWORD ttl = 2;
        if (bind(s.handle, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0 ||
            setsockopt(s.handle, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&local.sin_addr),
                       sizeof(local.sin_addr)) != 0) {
            continue;
        }
        setsockopt(s.handle, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl), sizeof(ttl));
        bool sent = false;
        for (const std::string_view target : {k_igd1, k_igd2}) {
            const std::string request = ssdp_search_request(target);
            sent |= sendto(s.handle, request.data(), static_cast<int>(request.size()), 0,
                           reinterpret_cast<const sockaddr*>(&group), sizeof(group)) != SOCKET_ERROR;
        }
        if (sent) {
            sockets.push_back(std::move(s));
            socket_networks.push_back(network);
        }
    }
    const uint64_t deadline = GetTickCount64() + k_listen_ms;
    while (!sockets.empty()) {
        const uint64_t now = GetTickCount64();
        if (now >= deadline) {
            break;
        }
        fd_set readable;
        FD_ZERO(&readable);
        for (const Socket& s : sockets) {
            FD_SET(s.handle, &readable);
        }
        const long wait_ms = static_cast<long>(deadline - now);
        timeval timeout{wait_ms / 1000, (wait_ms % 1000) * 1000};
        if (select(0, &readable, nullptr, nullptr, &timeout) <= 0) {
            break;
        }
        for (size_t i = 0; i < sockets.size(); ++i) {
            if (!FD_ISSET(sockets[i].handle, &readable)) {
                continue;
            }
            char datagram[k_max_ssdp_reply + 1];
            sockaddr_in from{};
            int from_size = sizeof(from);
            const int n = recvfrom(sockets[i].handle, datagram, sizeof(datagram), 0,
                                   reinterpret_cast<sockaddr*>(&from), &from_size);
            if (n <= 0) {
                continue;
            }
            const std::optional<SsdpReply> reply =
                read_ssdp_reply(std::string_view(datagram, static_cast<size_t>(n)));
            const std::optional<HttpUrl> location = reply ? parse_http_url(reply->location) : std::nullopt;
            // The reply must come from the network it was asked on and point into it.
            if (location && on_network(socket_networks[i], location->address) &&
                on_network(socket_networks[i], ntohl(from.sin_addr.s_addr))) {
                return Candidate{*location, socket_networks[i]};
            }
        }
    }
    return std::nullopt;
}

// XmlLite, loaded from the system folder when first needed.
class XmlLiteReader {
public:
    std::optional<XmlTree> parse(std::string_view text) {
        if (!loaded_) {
            loaded_ = true;
            library_.handle = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
            if (library_.handle != nullptr) {
                create_ = reinterpret_cast<Create>(
                    reinterpret_cast<void*>(GetProcAddress(library_.handle, "CreateXmlReader")));
            }
        }
        if (create_ == nullptr) {
            return parse_xml(text); // the system's reader is missing: the portable one reads the same
        }
        ComPtr<IStream> stream;
        stream.Attach(
            SHCreateMemStream(reinterpret_cast<const BYTE*>(text.data()), static_cast<UINT>(text.size())));
        // XmlLite refuses a depth equal to its limit; the builder keeps the exact one.
        ComPtr<IXmlReader> reader;
        if (!stream ||
            FAILED(create_(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.GetAddressOf()), nullptr)) ||
            FAILED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
            FAILED(reader->SetProperty(XmlReaderProperty_MaxElementDepth, XmlTreeBuilder::k_max_depth + 1)) ||
            FAILED(reader->SetInput(stream.Get()))) {
            return std::nullopt;
        }
        XmlTreeBuilder builder;
        XmlNodeType type = XmlNodeType_None;
        HRESULT result = S_OK;
        while ((result = reader->Read(&type)) == S_OK) {
            const wchar_t* value = nullptr;
            UINT length = 0;
            bool ok = true;
            switch (type) {
            case XmlNodeType_Element:
                ok = SUCCEEDED(reader->GetLocalName(&value, &length)) &&
                     builder.start(to_utf8(std::wstring_view(value, length))) &&
                     (!reader->IsEmptyElement() || builder.end());
                break;
            case XmlNodeType_EndElement:
                ok = builder.end();
                break;
            case XmlNodeType_Text:
            case XmlNodeType_CDATA:
            case XmlNodeType_Whitespace:
                ok = SUCCEEDED(reader->GetValue(&value, &length)) &&
                     ((type == XmlNodeType_Whitespace && !builder.inside()) ||
                      builder.text(to_utf8(std::wstring_view(value, length))));
                break;
            default:
                break;
            }
            if (!ok) {
                return std::nullopt;
            }
        }
        return result == S_FALSE ? builder.finish() : std::nullopt;
    }

private:
    using Create = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

    Library library_;
    Create create_ = nullptr;
    bool loaded_ = false;
};

class RouterClient final : public ReadingSource {
public:
    RouterClient() {
        WSADATA data{};
        winsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        session.reset(WinHttpOpen(L"Tidemeter", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0));
        if (session.handle != nullptr) {
            WinHttpSetTimeouts(session.handle, static_cast<int>(k_timeout_ms), static_cast<int>(k_timeout_ms),
                               static_cast<int>(k_timeout_ms), static_cast<int>(k_timeout_ms));
            DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
            WinHttpSetOption(session.handle, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy));
        }
    }

    RouterClient(const RouterClient&) = delete;
    RouterClient& operator=(const RouterClient&) = delete;

    ~RouterClient() override {
        connection.reset();
        session.reset();
        if (winsock) {
            WSACleanup();
        }
    }

    SourceReading read() override;

private:
    // One request; the body of a 200 answer of at most `limit` bytes, or nothing.
    std::optional<std::string> request(const HttpUrl& url, const wchar_t* verb, const std::string& body,
                                       const std::wstring& headers, size_t limit) {
        if (connection.handle == nullptr) {
            connection.reset(WinHttpConnect(session.handle, address_text(url.address).c_str(), url.port, 0));
            if (connection.handle == nullptr) {
                return std::nullopt;
            }
        }
        const std::wstring path = to_wide(url.path);
        InternetHandle request(WinHttpOpenRequest(connection.handle, verb, path.c_str(), nullptr,
                                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
        if (request.handle == nullptr) {
            return std::nullopt;
        }
        DWORD feature = WINHTTP_DISABLE_REDIRECTS;
        WinHttpSetOption(request.handle, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof(feature));
        if (!WinHttpSendRequest(request.handle,
                                headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                static_cast<DWORD>(headers.size()), const_cast<char*>(body.data()),
                                static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) ||
            !WinHttpReceiveResponse(request.handle, nullptr)) {
            return std::nullopt;
        }
        DWORD status = 0;
        DWORD size = sizeof(status);
        if (!WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
            status != 200) {
            return std::nullopt;
        }
        std::string answer;
        char buffer[4096];
        DWORD read = 0;
        do {
            if (!WinHttpReadData(request.handle, buffer, sizeof(buffer), &read)) {
                return std::nullopt;
            }
            if (answer.size() + read > limit) {
                return std::nullopt;
            }
            answer.append(buffer, read);
        } while (read > 0);
        return answer;
    }

    bool discover() {
        last_search = GetTickCount64();
        connection.reset();
        const std::vector<LocalNetwork> networks = local_networks();
        const std::optional<Candidate> candidate = winsock ? search(networks) : std::nullopt;
        if (!candidate) {
            return false;
        }
        const std::optional<std::string> text =
            request(candidate->location, L"GET", {}, {}, k_max_description);
        connection.reset(); // the description's server need not be the control URL's
        std::optional<XmlTree> tree = text ? xml.parse(*text) : std::nullopt;
        std::optional<RouterDescription> found =
            tree ? read_description(*tree, candidate->location, candidate->network) : std::nullopt;
        if (!found) {
            problem = text ? "The router's description could not be read"
                           : "The router's description did not arrive";
            return false;
        }
        router = std::move(found);
        return true;
    }

    std::optional<XmlTree> ask(RouterAction action) {
        const std::wstring headers = L"Content-Type: text/xml; charset=\"utf-8\"\r\nSOAPAction: " +
                                     to_wide(soap_action_header(action)) + L"\r\n";
        const std::optional<std::string> text =
            request(router->control, L"POST", soap_request_body(action), headers, k_max_answer);
        if (!text) {
            connection.reset(); // a broken connection is opened again next time
            return std::nullopt;
        }
        std::optional<XmlTree> tree = xml.parse(*text);
        if (!tree) {
            problem =
                "The router's answer to " + std::string(soap_action_name(action)) + " could not be read";
        }
        return tree;
    }

    RouterAnswer ask_all() {
        RouterAnswer answer;
        answer.udn = router->udn;
        const std::optional<XmlTree> received = ask(RouterAction::total_received);
        const std::optional<uint64_t> received_value =
            received ? read_total(*received, RouterAction::total_received) : std::nullopt;
        const std::optional<XmlTree> sent = received_value ? ask(RouterAction::total_sent) : std::nullopt;
        const std::optional<uint64_t> sent_value =
            sent ? read_total(*sent, RouterAction::total_sent) : std::nullopt;
        // The link's status changes rarely: asked every k_link_samples and after any failure, it costs a
        // third less than the totals every sample.
        const bool link_due = sent_value && samples_since_link >= k_link_samples;
        const std::optional<XmlTree> link = link_due ? ask(RouterAction::link_properties) : std::nullopt;
        const std::optional<bool> link_up = link ? read_link_up(*link) : std::nullopt;
        answer.time = monotonic_nanoseconds();
        if ((received && !received_value) || (sent && !sent_value) || (link && !link_up)) {
            problem = "The router answered without its counters";
        }
        answer.answered = sent_value && (!link_due || link_up);
        if (!answer.answered) {
            samples_since_link = k_link_samples;
            return answer;
        }
        if (link_due) {
            last_link_up = *link_up;
            samples_since_link = 0;
        }
        ++samples_since_link;
        answer.received = *received_value;
        answer.sent = *sent_value;
        answer.link_up = last_link_up;
        return answer;
    }

    // A problem not reported since the router last answered well; a fixed text, nothing of the router's.
    std::string take_problem() {
        std::string text = std::exchange(problem, std::string());
        if (text.empty() || text == reported) {
            return {};
        }
        reported = text;
        return text;
    }

    InternetHandle session;
    InternetHandle connection; // to the router found, kept for every sample
    XmlLiteReader xml;
    RouterCounter counter;
    std::optional<RouterDescription> router;
    int failures = 0;
    uint64_t last_search = 0; // GetTickCount64; 0: never
    std::string problem;
    std::string reported;
    bool winsock = false;
    int samples_since_link = k_link_samples;
    bool last_link_up = false;
};

SourceReading RouterClient::read() {
    // A router that stopped answering may have come back with another address: search again, but
    // not more often than every k_search_pause_ms.
    const bool search_due = last_search == 0 || GetTickCount64() - last_search >= k_search_pause_ms;
    if ((!router || failures >= k_failures_before_search) && search_due && session.handle != nullptr) {
        if (discover()) {
            failures = 0;
        }
    }
    RouterAnswer answer;
    if (router) {
        answer = ask_all();
    }
    const RouterCounter::Result result = counter.update(answer);
    if (answer.answered) {
        failures = 0;
        reported.clear();
    } else if (router) {
        ++failures;
    }
    SourceReading reading;
    reading.valid = result.valid;
    reading.status = answer.answered ? SourceStatus::ok
                     : router        ? SourceStatus::router_not_answering
                                     : SourceStatus::no_router;
    reading.received = result.received;
    reading.sent = result.sent;
    reading.identity = result.epoch;
    reading.timestamp = answer.time;
    reading.problem = take_problem();
    if (router) {
        reading.name = router->friendly_name;
        reading.model = router->model_name;
        reading.udn = router->udn;
        reading.serial = router->serial_number;
    }
    return reading;
}

} // namespace

std::optional<XmlTree> read_xml(std::string_view text) {
    return XmlLiteReader().parse(text);
}

std::unique_ptr<ReadingSource> make_router_source() {
    return std::make_unique<RouterClient>();
}

} // namespace tide
