// The frames of the wire protocol between a TSocketConnection and a Server,
// encoded and decoded without touching a socket. docs/protocol.md describes
// the layout byte by byte.
//
// A frame is a 4-byte little-endian payload length followed by the payload;
// the payload's first byte is the frame type. Encoders append one complete
// frame (length prefix included) to a buffer and refuse values that break a
// limit. Decoders take one payload, check every length and count against the
// bytes that remain before allocating, and refuse anything truncated, over a
// limit, with trailing bytes or otherwise inconsistent with EProtocolError.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "net/app_server.h"
#include "rtl/exceptions.h"
#include "rtl/variant.h"

namespace net {

// A frame that cannot be read or written; the message says why.
class EProtocolError : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

inline constexpr std::array<uint8_t, 4> kProtocolMagic = {'Q', 'M', 'X', 'P'};
// The newest protocol version: its Hello carries an access token, the user
// name and the password, and its Accept the account and role admitted; its
// connections may ask for notices (Subscribe) and receive them (Notice).
// Versions 1 (no token, no user name), 2 (no password) and 3 (no notices) are
// still read.
inline constexpr uint16_t kProtocolVersion = 4;
inline constexpr uint16_t kProtocolVersion3 = 3;
inline constexpr uint16_t kProtocolVersion2 = 2;
inline constexpr uint16_t kProtocolVersion1 = 1;
inline constexpr size_t kFrameHeaderSize = 4;
inline constexpr uint32_t kDefaultMaxFrameSize = 64u << 20;
// Arrays inside arrays deeper than this are refused (the outermost value is
// level 1).
inline constexpr int kMaxNestingDepth = 32;

enum class FrameType : uint8_t {
  kHello = 0x01,      // client: magic, version, remote object name
  kAccept = 0x02,     // server: handshake accepted
  kRefuse = 0x03,     // server: handshake refused, with a text; the server then closes
  kCall = 0x10,       // client: one call
  kAnswer = 0x11,     // server: result and by-reference values of a call
  kFailure = 0x12,    // server: the call could not be made, with a text
  kNotice = 0x13,     // server, version 4: something changed elsewhere (notice_frame.h)
  kSubscribe = 0x14,  // client, version 4: notices on or off
};

// Type tags of encoded values.
enum class ValueTag : uint8_t {
  kEmpty = 0x00,
  kNull = 0x01,
  kBoolean = 0x02,    // 1 byte, 0 or 1
  kInteger = 0x03,    // 8 bytes, two's complement
  kString = 0x04,     // u32 byte length + UTF-8
  kByte = 0x05,       // 1 byte
  kArray = 0x06,      // u32 count + that many values
  kByteArray = 0x07,  // u32 count + that many bytes
};

struct HelloFrame {
  std::array<uint8_t, 4> magic{};
  uint16_t version = 0;
  std::string object_name;  // read for versions 1 to 3 only
  std::string token;        // versions 2 and 3: the access token, may be empty
  std::string user_name;    // versions 2 and 3: who the client runs for, may be empty
  std::string password;     // version 3: the account's password, may be empty
};
// Longest access token and user name a Hello carries.
inline constexpr size_t kMaxTokenLength = 1024;
inline constexpr size_t kMaxUserNameLength = 255;
inline constexpr size_t kMaxPasswordLength = 1024;
struct AcceptFrame {
  uint16_t version = 0;
  // Version 3: the account the server admitted and its role ("editor",
  // "leitor"); both empty when it admitted the connection without one.
  std::string account;
  std::string role;
};
// The role of an account that may only read.
inline constexpr std::string_view kReaderRole = "leitor";
struct RefuseFrame {
  std::string text;
};
struct CallFrame {
  uint32_t call_id = 0;
  std::string method;
  std::vector<rtl::Variant> args;
  std::vector<bool> by_ref;  // one flag per argument
};
struct AnswerFrame {
  uint32_t call_id = 0;
  rtl::Variant result;
  std::vector<rtl::Variant> ref_values;  // one per by-reference argument, in order
};
struct FailureFrame {
  uint32_t call_id = 0;  // 0 when the call's id could not be read
  std::string text;
};
// What a Notice tells: a committed change, an edit begun or ended on another
// desk, or that the receiver should read everything again (it fell behind, or
// its server lost sight of the other servers' changes for a while).
enum class NoticeKind : uint8_t { kChange = 1, kEditing = 2, kEditEnded = 3, kReloadAll = 4 };
// The kind of item a notice is about.
enum class NoticeItem : uint8_t {
  kNone = 0,  // a reload-everything notice
  kTable = 1,
  kFact = 2,
  kDimension = 3,
  kDrillFact = 4,
  kDrillDimension = 5,
  kDrillLink = 6,
};
enum class NoticeChange : uint8_t { kNone = 0, kInsert = 1, kUpdate = 2, kDelete = 3 };
struct NoticeFrame {
  NoticeKind kind = NoticeKind::kReloadAll;
  std::string table;  // the fact table or drill table the item belongs to
  NoticeItem item_kind = NoticeItem::kNone;
  std::string item;  // the item's column (or number, or linked table); "" for a table
  NoticeChange change = NoticeChange::kNone;
  std::string account;  // who changed or is editing
  std::string when;     // UTC, "2026-12-08T09:15:02.123Z"
  bool operator==(const NoticeFrame&) const = default;
};
struct SubscribeFrame {
  bool on = true;
};
using Frame = std::variant<HelloFrame, AcceptFrame, RefuseFrame, CallFrame, AnswerFrame,
                           FailureFrame, NoticeFrame, SubscribeFrame>;

// Encoders. Each appends one frame to `out` and throws EProtocolError (leaving
// `out` as it was) when the frame would exceed `max_frame_size`, a text is not
// valid UTF-8 or arrays nest deeper than kMaxNestingDepth.
// A version-1 Hello (what clients before version 2 send).
void EncodeHello(std::vector<uint8_t>& out, std::string_view object_name,
                 uint32_t max_frame_size = kDefaultMaxFrameSize);
// A Hello of hello.version (1 to 3); the magic is always kProtocolMagic.
void EncodeHello(std::vector<uint8_t>& out, const HelloFrame& hello,
                 uint32_t max_frame_size = kDefaultMaxFrameSize);
// The server answers in the version of the client's Hello; the account and
// role go out in version 3 only.
void EncodeAccept(std::vector<uint8_t>& out, uint16_t version = kProtocolVersion,
                  std::string_view account = {}, std::string_view role = {});
void EncodeRefuse(std::vector<uint8_t>& out, std::string_view text);
void EncodeCall(std::vector<uint8_t>& out, uint32_t call_id, std::string_view method,
                std::span<const Arg> args, uint32_t max_frame_size = kDefaultMaxFrameSize);
// Only the arguments whose `by_ref` flag is set are sent back.
void EncodeAnswer(std::vector<uint8_t>& out, uint32_t call_id, const rtl::Variant& result,
                  std::span<const rtl::Variant> args, const std::vector<bool>& by_ref,
                  uint32_t max_frame_size = kDefaultMaxFrameSize);
// A failure text that is not valid UTF-8 is sent with its bad bytes replaced.
void EncodeFailure(std::vector<uint8_t>& out, uint32_t call_id, std::string_view text);

// Version 4: a notice (its texts must be valid UTF-8 and fit the limits of a
// name: at most 255 bytes each, the account and time included), and the
// client's wish for notices.
void EncodeNotice(std::vector<uint8_t>& out, const NoticeFrame& notice);
void EncodeSubscribe(std::vector<uint8_t>& out, bool on);

// The payload length of a frame from its 4-byte prefix; throws when it is 0
// or above `max_frame_size`.
uint32_t DecodeFrameLength(std::span<const uint8_t, kFrameHeaderSize> prefix,
                           uint32_t max_frame_size = kDefaultMaxFrameSize);
// The type of a payload; throws when it is empty or of no known type.
FrameType PeekFrameType(std::span<const uint8_t> payload);

// Decoders of one payload of the named type.
HelloFrame DecodeHello(std::span<const uint8_t> payload);
AcceptFrame DecodeAccept(std::span<const uint8_t> payload);
RefuseFrame DecodeRefuse(std::span<const uint8_t> payload);
CallFrame DecodeCall(std::span<const uint8_t> payload);
AnswerFrame DecodeAnswer(std::span<const uint8_t> payload);
FailureFrame DecodeFailure(std::span<const uint8_t> payload);
NoticeFrame DecodeNotice(std::span<const uint8_t> payload);
SubscribeFrame DecodeSubscribe(std::span<const uint8_t> payload);
// Any payload.
Frame DecodePayload(std::span<const uint8_t> payload);
// Exactly one complete frame, length prefix included.
Frame DecodeFrame(std::span<const uint8_t> bytes, uint32_t max_frame_size = kDefaultMaxFrameSize);

// The call id of a call payload that may be malformed past it, or 0.
uint32_t PeekCallId(std::span<const uint8_t> payload);

}  // namespace net
