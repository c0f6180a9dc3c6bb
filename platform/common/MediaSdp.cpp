#include "MediaSdp.h"

#include <cstring>
#include <sstream>

namespace velto_platform {

namespace {

constexpr size_t kKeyLength = 30;
constexpr char kSuite[] = "AES_CM_128_HMAC_SHA1_80";
constexpr char kCryptoPrefix[] = "a=crypto:";
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const uint8_t* data, size_t size)
{
    std::string text;
    for (size_t i = 0; i < size; i += 3) {
        const uint32_t chunk = (uint32_t(data[i]) << 16) | (i + 1 < size ? uint32_t(data[i + 1]) << 8 : 0) |
                               (i + 2 < size ? uint32_t(data[i + 2]) : 0);
        text += kAlphabet[(chunk >> 18) & 63];
        text += kAlphabet[(chunk >> 12) & 63];
        text += i + 1 < size ? kAlphabet[(chunk >> 6) & 63] : '=';
        text += i + 2 < size ? kAlphabet[chunk & 63] : '=';
    }
    return text;
}

int base64Value(char c)
{
    const char* at = c ? std::strchr(kAlphabet, c) : nullptr;
    return at ? static_cast<int>(at - kAlphabet) : -1;
}

// Strict: whole groups of four, '=' only at the end.
bool unbase64(const std::string& text, std::vector<uint8_t>* out)
{
    if (text.empty() || text.size() % 4 != 0)
        return false;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int values[4];
        int padding = 0;
        for (int j = 0; j < 4; ++j) {
            const char c = text[i + j];
            if (c == '=' && last && j >= 2) {
                ++padding;
                values[j] = 0;
                continue;
            }
            if (padding > 0)
                return false;  // data after padding
            values[j] = base64Value(c);
            if (values[j] < 0)
                return false;
        }
        const uint32_t chunk = (uint32_t(values[0]) << 18) | (uint32_t(values[1]) << 12) |
                               (uint32_t(values[2]) << 6) | uint32_t(values[3]);
        bytes.push_back(uint8_t(chunk >> 16));
        if (padding < 2)
            bytes.push_back(uint8_t(chunk >> 8));
        if (padding < 1)
            bytes.push_back(uint8_t(chunk));
    }
    *out = std::move(bytes);
    return true;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        result.push_back(line);
    }
    return result;
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool isDigits(const std::string& text)
{
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    std::string word;
    while (in >> word)
        result.push_back(word);
    return result;
}

}  // namespace

std::string writeCryptoLine(const uint8_t* key30)
{
    return std::string(kCryptoPrefix) + "1 " + kSuite + " inline:" + base64(key30, kKeyLength);
}

bool readCryptoLine(const std::string& sdp, std::vector<uint8_t>* key30)
{
    for (const std::string& line : lines(sdp)) {
        if (!startsWith(line, kCryptoPrefix))
            continue;
        // "<tag> <suite> inline:<key>[|lifetime][|MKI:length]" (RFC 4568 section 9.1)
        const std::vector<std::string> parts = words(line.substr(std::strlen(kCryptoPrefix)));
        if (parts.size() < 3 || parts[1] != kSuite)
            continue;
        if (!isDigits(parts[0]) || parts[0].size() > 9 || !startsWith(parts[2], "inline:"))
            return false;
        std::string keyText = parts[2].substr(std::strlen("inline:"));
        keyText = keyText.substr(0, keyText.find('|'));
        std::vector<uint8_t> key;
        if (!unbase64(keyText, &key) || key.size() != kKeyLength)
            return false;
        if (key30)
            *key30 = std::move(key);
        return true;
    }
    return false;
}

std::string withCryptoLine(const std::string& sdp, const uint8_t* key30)
{
    const std::string lineEnd = sdp.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    const std::string crypto = writeCryptoLine(key30) + lineEnd;
    std::string result;
    bool placed = false;
    size_t start = 0;
    while (start < sdp.size()) {
        size_t end = sdp.find('\n', start);
        end = end == std::string::npos ? sdp.size() : end + 1;
        const std::string line = sdp.substr(start, end - start);
        result += line;
        if (startsWith(line, "m=")) {
            if (result.back() != '\n')
                result += lineEnd;
            result += crypto;
            placed = true;
        }
        start = end;
    }
    if (!placed) {
        if (!result.empty() && result.back() != '\n')
            result += lineEnd;
        result += crypto;
    }
    return result;
}

std::string withoutKeys(const std::string& sdp)
{
    std::string result;
    size_t start = 0;
    while (start < sdp.size()) {
        size_t end = sdp.find('\n', start);
        end = end == std::string::npos ? sdp.size() : end + 1;
        std::string line = sdp.substr(start, end - start);
        if (startsWith(line, "a=ice-pwd:")) {
            // The connectivity checks' password is a secret as much as the key.
            const size_t valueEnd = line.find_first_of("\r\n");
            line.replace(10, (valueEnd == std::string::npos ? line.size() : valueEnd) - 10, "...");
        } else if (startsWith(line, kCryptoPrefix)) {
            const size_t key = line.find("inline:");
            if (key != std::string::npos) {
                size_t keyEnd = line.find_first_of("| \r\n", key);
                if (keyEnd == std::string::npos)
                    keyEnd = line.size();
                line.replace(key + std::strlen("inline:"), keyEnd - key - std::strlen("inline:"), "...");
            }
        }
        result += line;
        start = end;
    }
    return result;
}

std::string writeHostCandidate(const std::string& host, int port)
{
    return "candidate:1 1 udp 2130706431 " + host + " " + std::to_string(port) + " typ host";
}

bool readHostCandidate(const std::string& candidate, std::string* host, int* port)
{
    std::string text = candidate;
    if (startsWith(text, "a="))
        text = text.substr(2);
    // candidate:<foundation> <component> <transport> <priority> <address> <port> typ <type> [...]
    const std::vector<std::string> parts = words(text);
    if (parts.size() < 8 || !startsWith(parts[0], "candidate:") || parts[0].size() == std::strlen("candidate:"))
        return false;
    if (!isDigits(parts[1]) || !isDigits(parts[3]))
        return false;
    std::string transport = parts[2];
    for (char& c : transport)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (transport != "udp" || parts[6] != "typ" || parts[7] != "host")
        return false;
    if (!isDigits(parts[5]) || parts[5].size() > 5)
        return false;
    const int number = std::stoi(parts[5]);
    if (number < 1 || number > 65535)
        return false;
    if (host)
        *host = parts[4];
    if (port)
        *port = number;
    return true;
}

}  // namespace velto_platform
