// The router client: SSDP over Winsock, the description and the SOAP requests over WinHTTP (asynchronous,
// so that every request has a deadline whatever the router sends), their XML through XmlLite into the
// portable readers.
#include "net/router_win.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>
#include <winhttp.h>
#include <shlwapi.h>
#include <objidl.h>
#include <xmllite.h>
#include <wrl/client.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/sanitize.h"
#include "base/wide_text_win.h"
#include "net/inventory.h"
#include "net/router_address.h"
#include "net/router_counter.h"
#include "net/router_protocol.h"

namespace tide {
namespace {

using Microsoft::WRL::ComPtr;

constexpr DWORD k_action_deadline_ms = 2000;
constexpr DWORD k_description_deadline_ms = 4000;
constexpr uint64_t k_listen_ms = 2000;
constexpr DWORD k_stop_check_ms = 50;       // how soon a wait notices the stop flag
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

// Waits for `event` until `deadline` (GetTickCount64) or until `stop` is set; true when it was signalled.
bool wait_until(HANDLE event, uint64_t deadline, const std::atomic<bool>& stop) {
    while (!stop.load()) {
        const uint64_t now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        const auto slice = static_cast<DWORD>(std::min<uint64_t>(deadline - now, k_stop_check_ms));
        if (WaitForSingleObject(event, slice) == WAIT_OBJECT_0) {
            return true;
        }
    }
    return false;
}

// This PC's IPv4 interfaces that are up, with their networks and default gateways, and every IPv4
// address of its own.
struct Interfaces {
    std::vector<LocalNetwork> networks;
    std::vector<uint32_t> own;
};

Interfaces local_interfaces() {
    Interfaces found;
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
        return found;
    }
    // The default gateway of each interface, from the routing table (which Wine fills too).
    std::vector<std::pair<NET_IFINDEX, uint32_t>> gateways;
    MIB_IPFORWARD_TABLE2* routes = nullptr;
    if (GetIpForwardTable2(AF_INET, &routes) == NO_ERROR && routes != nullptr) {
        for (ULONG i = 0; i < routes->NumEntries; ++i) {
            const MIB_IPFORWARD_ROW2& row = routes->Table[i];
            const uint32_t hop = ntohl(row.NextHop.Ipv4.sin_addr.s_addr);
            if (row.DestinationPrefix.PrefixLength == 0 && row.NextHop.si_family == AF_INET && hop != 0) {
                gateways.emplace_back(row.InterfaceIndex, hop);
            }
        }
        FreeMibTable(routes);
    }
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        const bool usable =
            adapter->OperStatus == IfOperStatusUp && adapter->IfType != IF_TYPE_SOFTWARE_LOOPBACK;
        std::optional<uint32_t> gateway;
        for (const auto& [index, hop] : gateways) {
            if (index == adapter->IfIndex && !gateway) {
                gateway = hop;
            }
        }
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            const uint32_t own = ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
            found.own.push_back(own);
            if (usable) {
                found.networks.push_back({own, static_cast<int>(unicast->OnLinkPrefixLength), gateway});
            }
        }
    }
    return found;
}

// Sends both searches from every network's own address and collects the replies of the whole window:
// the router is chosen among all of them, not taken from whoever answers first.
std::vector<SsdpOrigin> search(const std::vector<LocalNetwork>& networks, const std::atomic<bool>& stop) {
    std::vector<Socket> sockets;
    std::vector<LocalNetwork> socket_networks;
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(1900);
    group.sin_addr.s_addr = htonl(0xEFFFFFFA); // 239.255.255.250
    for (const LocalNetwork& network : networks) {
        if (!network.gateway) {
            continue; // no router to find there
        }
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
    std::vector<SsdpOrigin> replies;
    const uint64_t deadline = GetTickCount64() + k_listen_ms;
    while (!sockets.empty() && !stop.load() && replies.size() < 64) {
        const uint64_t now = GetTickCount64();
        if (now >= deadline) {
            break;
        }
        fd_set readable;
        FD_ZERO(&readable);
        for (const Socket& s : sockets) {
            FD_SET(s.handle, &readable);
        }
        const long wait_ms = static_cast<long>(std::min<uint64_t>(deadline - now, k_stop_check_ms));
        timeval timeout{wait_ms / 1000, (wait_ms % 1000) * 1000};
        if (select(0, &readable, nullptr, nullptr, &timeout) < 0) {
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
            if (location) {
                replies.push_back({ntohl(from.sin_addr.s_addr), *location, socket_networks[i]});
            }
        }
    }
    return replies;
}

// One request's state, shared by the thread that waits for it and WinHTTP's callbacks: freed by
// whichever of the two lets go last (the callbacks at the handle's closing), so that a request given
// up at its deadline may still finish inside WinHTTP without touching freed memory.
struct Exchange {
    explicit Exchange(size_t max) : limit(max), done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;
    ~Exchange() {
        if (done != nullptr) {
            CloseHandle(done);
        }
    }
    void release() {
        if (--references == 0) {
            delete this;
        }
    }
    void finish(bool success) {
        if (!finished.exchange(true)) {
            ok = success;
            SetEvent(done);
        }
    }

    std::atomic<int> references{2}; // the waiting thread and the request handle
    std::atomic<bool> finished{false};
    bool ok = false;
    size_t limit;
    std::string body;
    char buffer[4096];
    HANDLE done;
};

void CALLBACK on_request_event(HINTERNET request, DWORD_PTR context, DWORD status, void* info, DWORD length) {
    auto* exchange = reinterpret_cast<Exchange*>(context);
    if (exchange == nullptr) {
        return;
    }
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!WinHttpReceiveResponse(request, nullptr)) {
            exchange->finish(false);
        }
        break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE: {
        DWORD code = 0;
        DWORD size = sizeof(code);
        if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX) ||
            code != 200 || !WinHttpQueryDataAvailable(request, nullptr)) {
            exchange->finish(false);
        }
        break;
    }
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE: {
        const DWORD available = info != nullptr ? *static_cast<DWORD*>(info) : 0;
        if (available == 0) {
            exchange->finish(true);
        } else if (!WinHttpReadData(request, exchange->buffer,
                                    std::min<DWORD>(available, sizeof(exchange->buffer)), nullptr)) {
            exchange->finish(false);
        }
        break;
    }
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        if (length == 0) {
            exchange->finish(true);
        } else if (exchange->body.size() + length > exchange->limit) {
            exchange->finish(false);
        } else {
            exchange->body.append(exchange->buffer, length);
            if (!WinHttpQueryDataAvailable(request, nullptr)) {
                exchange->finish(false);
            }
        }
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        exchange->finish(false);
        break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        exchange->finish(false);
        exchange->release();
        break;
    default:
        break;
    }
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
        // What the portable reader refuses is refused here too. XmlLite refuses control characters
        // (also as references), invalid UTF-8 and "]]>" in text by itself; Wine's stand-in lets some
        // through, and the program must not depend on which one it runs on.
        if (!parse_xml(text)) {
            return std::nullopt;
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
    explicit RouterClient(const std::atomic<bool>& stop) : stop_(stop) {
        WSADATA data{};
        winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        session_.reset(WinHttpOpen(L"Tidemeter", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
        if (session_.handle != nullptr) {
            // The per-packet time-outs only back the deadline up; the deadline is what holds.
            WinHttpSetTimeouts(session_.handle, static_cast<int>(k_action_deadline_ms),
                               static_cast<int>(k_action_deadline_ms), static_cast<int>(k_action_deadline_ms),
                               static_cast<int>(k_action_deadline_ms));
            DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
            WinHttpSetOption(session_.handle, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy));
            if (WinHttpSetStatusCallback(session_.handle, &on_request_event,
                                         WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS |
                                             WINHTTP_CALLBACK_FLAG_HANDLES,
                                         0) == WINHTTP_INVALID_STATUS_CALLBACK) {
                session_.reset();
            }
        }
    }

    RouterClient(const RouterClient&) = delete;
    RouterClient& operator=(const RouterClient&) = delete;

    ~RouterClient() override {
        connection_.reset();
        session_.reset();
        if (winsock_) {
            WSACleanup();
        }
    }

    SourceReading read() override;

private:
    // One request; the body of a 200 answer of at most `limit` bytes, or nothing when it did not come
    // whole before the deadline.
    std::optional<std::string> request(const HttpUrl& url, const wchar_t* verb, const std::string& body,
                                       const std::wstring& headers, size_t limit, DWORD deadline_ms) {
        const uint64_t deadline = GetTickCount64() + deadline_ms;
        if (connection_.handle == nullptr || connected_to_ != url.address || connected_port_ != url.port) {
            connection_.reset(
                WinHttpConnect(session_.handle, address_text(url.address).c_str(), url.port, 0));
            connected_to_ = url.address;
            connected_port_ = url.port;
            if (connection_.handle == nullptr) {
                return std::nullopt;
            }
        }
        const std::wstring path = to_wide(url.path);
        const HINTERNET handle = WinHttpOpenRequest(connection_.handle, verb, path.c_str(), nullptr,
                                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
        if (handle == nullptr) {
            return std::nullopt;
        }
        auto* exchange = new (std::nothrow) Exchange(limit);
        if (exchange == nullptr || exchange->done == nullptr) {
            delete exchange;
            WinHttpCloseHandle(handle);
            return std::nullopt;
        }
        DWORD_PTR context = reinterpret_cast<DWORD_PTR>(exchange);
        WinHttpSetOption(handle, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context));
        DWORD feature = WINHTTP_DISABLE_REDIRECTS;
        WinHttpSetOption(handle, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof(feature));
        if (!WinHttpSendRequest(handle, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                static_cast<DWORD>(headers.size()), const_cast<char*>(body.data()),
                                static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), context)) {
            exchange->finish(false);
        }
        const bool finished = wait_until(exchange->done, deadline, stop_);
        std::optional<std::string> answer;
        if (finished && exchange->ok) {
            answer = std::move(exchange->body);
        }
        // Closing cancels whatever is still going on; the callbacks let go of the exchange at the end.
        WinHttpCloseHandle(handle);
        exchange->release();
        if (!answer) {
            connection_.reset(); // a connection that failed or dawdled is not used again
        }
        return answer;
    }

    bool discover() {
        last_search_ = GetTickCount64();
        connection_.reset();
        const Interfaces interfaces = local_interfaces();
        const std::optional<SsdpOrigin> origin =
            winsock_ ? choose_router(search(interfaces.networks, stop_), interfaces.own) : std::nullopt;
        if (!origin) {
            return false;
        }
        const std::optional<std::string> text =
            request(origin->location, L"GET", {}, {}, k_max_description, k_description_deadline_ms);
        std::optional<XmlTree> tree = text ? xml_.parse(*text) : std::nullopt;
        std::optional<RouterDescription> found =
            tree ? read_description(*tree, origin->location) : std::nullopt;
        if (!found) {
            problem_ = text ? "The router's description could not be read"
                            : "The router's description did not arrive";
            return false;
        }
        found->friendly_name = remove_invisible_controls(found->friendly_name);
        found->model_name = remove_invisible_controls(found->model_name);
        router_ = std::move(found);
        links_.assign(router_->links.size(), LinkMemory{});
        return true;
    }

    std::optional<XmlTree> ask(const HttpUrl& control, RouterAction action, std::string_view service) {
        const std::wstring headers = L"Content-Type: text/xml; charset=\"utf-8\"\r\nSOAPAction: " +
                                     to_wide(soap_action_header(action, service)) + L"\r\n";
        const std::optional<std::string> text = request(control, L"POST", soap_request_body(action, service),
                                                        headers, k_max_answer, k_action_deadline_ms);
        if (!text) {
            return std::nullopt;
        }
        std::optional<XmlTree> tree = xml_.parse(*text);
        if (!tree) {
            problem_ =
                "The router's answer to " + std::string(soap_action_name(action)) + " could not be read";
        }
        return tree;
    }

    // What one link said this sample; not answered when its totals did not come.
    LinkReading ask_link(const WanLink& link, size_t index) {
        LinkMemory& memory = links_[index];
        LinkReading reading;
        reading.answered = false;
        const std::optional<XmlTree> received =
            ask(link.common, RouterAction::total_received, k_common_interface_config);
        const std::optional<uint64_t> received_value =
            received ? read_total(*received, RouterAction::total_received) : std::nullopt;
        const std::optional<XmlTree> sent =
            received_value ? ask(link.common, RouterAction::total_sent, k_common_interface_config)
                           : std::nullopt;
        const std::optional<uint64_t> sent_value =
            sent ? read_total(*sent, RouterAction::total_sent) : std::nullopt;
        if ((received && !received_value) || (sent && !sent_value)) {
            problem_ = "The router answered without its counters";
        }
        if (!sent_value) {
            memory.samples_since_link = k_link_samples;
            return reading;
        }
        reading.answered = true;
        reading.received = *received_value;
        reading.sent = *sent_value;
        // The link's state changes rarely: asked every k_link_samples, and every sample while it is
        // down, so that counting resumes at the first answer after it is up again.
        if (memory.samples_since_link >= k_link_samples || memory.state == LinkState::down) {
            const std::optional<XmlTree> answer =
                ask(link.common, RouterAction::link_properties, k_common_interface_config);
            const std::optional<LinkProperties> properties =
                answer ? read_link_properties(*answer) : std::nullopt;
            memory.state = !properties      ? LinkState::unknown
                           : properties->up ? LinkState::up
                                            : LinkState::down;
            if (properties) {
                memory.downstream = properties->downstream;
                memory.upstream = properties->upstream;
            }
            memory.samples_since_link = 0;
        }
        ++memory.samples_since_link;
        reading.state = memory.state;
        reading.downstream_bits = memory.downstream;
        reading.upstream_bits = memory.upstream;
        // A counter below the last one: the connection's uptime tells a reconnect from a glitch or a wrap.
        const bool dropped =
            memory.has_totals && (reading.received < memory.received || reading.sent < memory.sent);
        if (dropped && link.connection) {
            const std::optional<XmlTree> status =
                ask(*link.connection, RouterAction::status_info, link.connection_service);
            reading.uptime_s = status ? read_uptime(*status) : std::nullopt;
        }
        memory.has_totals = true;
        memory.received = reading.received;
        memory.sent = reading.sent;
        return reading;
    }

    RouterAnswer ask_all() {
        RouterAnswer answer;
        answer.udn = router_->udn;
        for (size_t i = 0; i < router_->links.size() && !stop_.load(); ++i) {
            answer.links.push_back(ask_link(router_->links[i], i));
            answer.answered |= answer.links.back().answered;
        }
        answer.answered = answer.answered && !stop_.load();
        answer.time = monotonic_nanoseconds();
        return answer;
    }

    // A problem not reported since the router last answered well; a fixed text, nothing of the router's.
    std::string take_problem() {
        std::string text = std::exchange(problem_, std::string());
        if (text.empty() || text == reported_) {
            return {};
        }
        reported_ = text;
        return text;
    }

    struct LinkMemory {
        int samples_since_link = k_link_samples;
        LinkState state = LinkState::unknown;
        uint64_t downstream = 0;
        uint64_t upstream = 0;
        bool has_totals = false;
        uint64_t received = 0;
        uint64_t sent = 0;
    };

    const std::atomic<bool>& stop_;
    InternetHandle session_;
    InternetHandle connection_; // to the router found, kept for every sample
    uint32_t connected_to_ = 0;
    uint16_t connected_port_ = 0;
    XmlLiteReader xml_;
    RouterCounter counter_;
    std::optional<RouterDescription> router_;
    std::vector<LinkMemory> links_;
    int failures_ = 0;
    uint64_t last_search_ = 0; // GetTickCount64; 0: never
    std::string problem_;
    std::string reported_;
    bool winsock_ = false;
};

SourceReading RouterClient::read() {
    // A router that stopped answering may have come back with another address: search again, but
    // not more often than every k_search_pause_ms.
    const bool search_due = last_search_ == 0 || GetTickCount64() - last_search_ >= k_search_pause_ms;
    if ((!router_ || failures_ >= k_failures_before_search) && search_due && session_.handle != nullptr) {
        if (discover()) {
            failures_ = 0;
        }
    }
    RouterAnswer answer;
    if (router_) {
        answer = ask_all();
    }
    const RouterCounter::Result result = counter_.update(answer);
    if (answer.answered) {
        failures_ = 0;
        reported_.clear();
    } else if (router_) {
        ++failures_;
    }
    SourceReading reading;
    reading.valid = result.valid;
    reading.status = answer.answered ? SourceStatus::ok
                     : router_       ? SourceStatus::router_not_answering
                                     : SourceStatus::no_router;
    reading.received = result.received;
    reading.sent = result.sent;
    // The counter rule keeps its own baselines: its totals never jump, so one identity serves.
    reading.identity = 1;
    reading.timestamp = answer.time;
    reading.wall_time = static_cast<int64_t>(std::time(nullptr));
    reading.problem = take_problem();
    if (router_) {
        reading.name = router_->friendly_name;
        reading.model = router_->model_name;
        reading.udn = router_->udn;
        reading.serial = router_->serial_number;
    }
    return reading;
}

} // namespace

std::optional<XmlTree> read_xml(std::string_view text) {
    return XmlLiteReader().parse(text);
}

std::unique_ptr<ReadingSource> make_router_source(const std::atomic<bool>& stop) {
    return std::make_unique<RouterClient>(stop);
}

} // namespace tide
