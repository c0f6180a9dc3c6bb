// The lines of a session description that set up the media path: the SRTP
// master key (RFC 4568 "a=crypto") and the host candidate that names where
// media goes. Pure text functions; the key never leaves them in a log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velto_platform {

// "a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:<base64 of 30 bytes>" (no line end).
std::string writeCryptoLine(const uint8_t* key30);

// The key of the first AES_CM_128_HMAC_SHA1_80 "a=crypto" line of an SDP text;
// false when there is none or it is malformed (key not exactly 30 bytes).
bool readCryptoLine(const std::string& sdp, std::vector<uint8_t>* key30);

// The SDP text with writeCryptoLine(key30) after each "m=" line (at the end
// when there is none); line ends as the text's own.
std::string withCryptoLine(const std::string& sdp, const uint8_t* key30);

// The SDP text with the key of every "a=crypto" line and the value of every
// "a=ice-pwd" line replaced by "...", for logs.
std::string withoutKeys(const std::string& sdp);

// "candidate:1 1 udp 2130706431 <host> <port> typ host".
std::string writeHostCandidate(const std::string& host, int port);

// Host and port of a UDP host candidate (an "a=" in front is allowed); false
// when malformed or not a UDP host candidate.
bool readHostCandidate(const std::string& candidate, std::string* host, int* port);

}  // namespace velto_platform
