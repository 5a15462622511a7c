// Fuzzes the analytics session and its hit builder over the in-memory
// registry and a scripted environment: a fuzzed stored client identifier and
// session count, machine facts, monitors, ticks, random numbers, pages and
// event names. Every hit must be one well-formed query whose values decode
// back to what was given, and PercentEncode must be reversible.
#include "analytics/google_analytics4.h"
#include "analytics/session_facts.h"
#include "platform/registry_memory.h"
#include "platform/registry_access.h"
#include "platform/utf8.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/unit/analytics_fakes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

bool IsUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == '~';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1; // lower case is not what the encoder writes
}

// The bytes an encoded text stands for; false when it is not in the encoder's form.
bool Decode(const std::string& encoded, std::string& decoded) {
    decoded.clear();
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (IsUnreserved(encoded[i])) {
            decoded += encoded[i];
            continue;
        }
        if (encoded[i] != '%' || i + 2 >= encoded.size() || HexValue(encoded[i + 1]) < 0 ||
            HexValue(encoded[i + 2]) < 0)
            return false;
        decoded += static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
        i += 2;
    }
    return true;
}

void CheckPercentEncode(const std::string& text) {
    const std::string encoded = PercentEncode(text);
    std::string decoded;
    FUZZ_CHECK(Decode(encoded, decoded) && decoded == text, "PercentEncode is reversible", fuzz::Printable(text),
               fuzz::Printable(encoded));
}

// One hit's query: "/g/collect?" then key=value parts joined by '&', all in
// printable ASCII without spaces, with exactly one event name and the client
// identifier that is stored.
void CheckHit(const std::string& objectName, const std::string& clientId) {
    const std::string prefix = "/g/collect?v=2&tid=";
    FUZZ_CHECK(objectName.compare(0, prefix.size(), prefix) == 0, "a hit starts with the collection path", prefix,
               fuzz::Printable(objectName));
    for (const char c : objectName)
        FUZZ_CHECK(c > ' ' && c < 0x7F, "a hit holds printable ASCII only", "no space or control byte",
                   fuzz::Printable(objectName));
    std::size_t events = 0;
    bool clientSeen = false;
    std::size_t start = objectName.find('?') + 1;
    while (start <= objectName.size()) {
        std::size_t end = objectName.find('&', start);
        if (end == std::string::npos) end = objectName.size();
        const std::string part = objectName.substr(start, end - start);
        const std::size_t equals = part.find('=');
        FUZZ_CHECK(equals != std::string::npos && equals > 0, "every part is key=value", "key=value",
                   fuzz::Printable(part));
        const std::string key = part.substr(0, equals);
        if (key == "en") ++events;
        if (key == "cid") {
            std::string decoded;
            clientSeen = Decode(part.substr(equals + 1), decoded) && decoded == clientId;
        }
        start = end + 1;
    }
    FUZZ_CHECK(events == 1, "a hit names one event", "1",
               std::to_string(events) + " in " + fuzz::Printable(objectName));
    FUZZ_CHECK(clientSeen, "a hit carries the stored client identifier", fuzz::Printable(clientId),
               fuzz::Printable(objectName));
}

bool NoGuid(Guid&) { return false; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope(registry);
    const std::wstring storedId = fuzz::ConsumeWide(input, 48);
    if (storedId.empty()) return 0; // no identifier, no session
    registry.PutText(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid", storedId, REG_SZ, true);
    registry.PutText(HKEY_LOCAL_MACHINE, kMakerKey, L"SessionCount", fuzz::ConsumeWide(input, 12), REG_SZ,
                     input.ConsumeBool());
    std::wstring readId;
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid", readId, true) != S_OK) return 0;
    const std::string clientId = WideToUtf8(readId);
    if (clientId.empty()) return 0; // an empty stored identifier starts no session either

    ScriptedEnvironment environment;
    for (int i = 0; i < 8; ++i) {
        environment.ticks.push_back(input.ConsumeIntegral<std::uint32_t>());
        environment.randoms.push_back(input.ConsumeIntegral<std::uint32_t>());
    }
    environment.hasUserAgent = input.ConsumeBool();
    environment.userAgent = input.ConsumeRandomLengthString(64);

    MachineFacts facts;
    facts.primaryWidth = input.ConsumeIntegral<unsigned>();
    facts.primaryHeight = input.ConsumeIntegral<unsigned>();
    if (input.ConsumeBool())
        facts.osVersion = OsVersion{input.ConsumeIntegral<std::uint32_t>(), input.ConsumeIntegral<std::uint32_t>(),
                                    input.ConsumeIntegral<std::uint32_t>()};
    if (input.ConsumeBool()) facts.country = input.ConsumeRandomLengthString(8);
    if (input.ConsumeBool()) facts.osLanguage = input.ConsumeRandomLengthString(8);
    std::vector<RECT> monitors(input.ConsumeIntegralInRange(0, 4));
    for (RECT& r : monitors)
        r = RECT{input.ConsumeIntegral<LONG>(), input.ConsumeIntegral<LONG>(), input.ConsumeIntegral<LONG>(),
                 input.ConsumeIntegral<LONG>()};
    const wchar_t* language = input.PickValueInArray({L"en", L"de", L"fr", L"ru"});

    {
        std::shared_ptr<GoogleAnalytics4> client =
            StartAnalyticsSession(environment, NoGuid, facts, monitors, language);
        FUZZ_CHECK(client != nullptr, "a stored identifier starts a session", "a client", "none");
        while (input.remaining_bytes() > 0) {
            const std::string text = input.ConsumeRandomLengthString(48);
            CheckPercentEncode(text);
            switch (input.ConsumeIntegralInRange(0, 4)) {
            case 0:
                client->SendScreenView(text);
                break;
            case 1:
                client->SendEvent(text);
                break;
            case 2:
                client->SendTiming(input.ConsumeIntegral<std::uint32_t>());
                break;
            case 3:
                // Parameter names are the program's own; their values are data.
                client->SendHit(text, ByteMap{{"debug_mode", "1"},
                                              {input.PickValueInArray({"value", "source", "button"}),
                                               input.ConsumeRandomLengthString(16)}});
                break;
            default:
                client->SendEvent("supportSession");
                break;
            }
        }
    } // the client's end hit goes out here
    const auto& posts = environment.transport->posts;
    FUZZ_CHECK(posts.size() >= 3, "the page view, the screen view and the end hit are posted", "3 or more posts",
               std::to_string(posts.size()));
    for (const auto& post : posts)
        CheckHit(post.objectName, clientId);
    FUZZ_CHECK(registry.OpenHandles() == 0, "no key stays open", "0", std::to_string(registry.OpenHandles()));
    return 0;
}
