#include "net/frame.h"

#include <cstring>
#include <limits>

#include "rtl/strings.h"

namespace net {

namespace {

// Decoded values expand in memory (a one-byte empty value becomes a whole
// Variant), so the number of values in one frame is bounded too.
constexpr size_t kMaxValuesPerFrame = 1u << 20;
// Method and remote object names.
constexpr size_t kMaxNameLength = 255;

[[noreturn]] void Fail(const std::string& why) {
  throw EProtocolError("Quadro inválido do protocolo: " + why);
}

std::string Num(uint64_t n) {
  return std::to_string(n);
}

std::string Hex(uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[b >> 4] + kDigits[b & 15];
}

// Appends one frame to a buffer; on any failure the buffer is put back as it
// was, so a refused frame never leaves half a frame behind.
class Writer {
 public:
  Writer(std::vector<uint8_t>& out, FrameType type, uint32_t max_frame_size)
      : out_(out), start_(out.size()), max_(max_frame_size) {
    out_.resize(start_ + kFrameHeaderSize);
    U8(static_cast<uint8_t>(type));
  }
  ~Writer() {
    if (!done_) out_.resize(start_);
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void Finish() {
    const size_t length = out_.size() - start_ - kFrameHeaderSize;
    PutU32At(start_, static_cast<uint32_t>(length));
    done_ = true;
  }

  void U8(uint8_t v) { Room(1)[0] = v; }
  void U16(uint16_t v) {
    uint8_t* p = Room(2);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  void U32(uint32_t v) {
    const size_t at = out_.size();
    Room(4);
    PutU32At(at, v);
  }
  void I64(int64_t value) {
    const auto v = static_cast<uint64_t>(value);
    uint8_t* p = Room(8);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
  void Raw(const uint8_t* data, size_t n) {
    if (n == 0) return;
    std::memcpy(Room(n), data, n);
  }
  void Text(std::string_view text) {
    if (!rtl::IsValidUtf8(text)) Fail("texto com UTF-8 inválido");
    Count(text.size());
    Raw(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  void Name(std::string_view name, const char* what) {
    if (name.empty() || name.size() > kMaxNameLength)
      Fail(std::string(what) + " vazio ou com mais de " + Num(kMaxNameLength) + " bytes");
    Text(name);
  }
  void Count(size_t n) {
    if (n > max_) Fail("tamanho " + Num(n) + " acima do limite de " + Num(max_) + " bytes");
    U32(static_cast<uint32_t>(n));
  }

  void Value(const rtl::Variant& v, int depth) {
    if (++values_ > kMaxValuesPerFrame)
      Fail("mais de " + Num(kMaxValuesPerFrame) + " valores num só quadro");
    switch (v.Type()) {
      case rtl::varEmpty:
        U8(static_cast<uint8_t>(ValueTag::kEmpty));
        return;
      case rtl::varNull:
        U8(static_cast<uint8_t>(ValueTag::kNull));
        return;
      case rtl::varBoolean:
        U8(static_cast<uint8_t>(ValueTag::kBoolean));
        U8(v.AsBoolean() ? 1 : 0);
        return;
      case rtl::varInteger:
        U8(static_cast<uint8_t>(ValueTag::kInteger));
        I64(v.AsInteger());
        return;
      case rtl::varOleStr:
        U8(static_cast<uint8_t>(ValueTag::kString));
        Text(v.AsString());
        return;
      case rtl::varByte:
        U8(static_cast<uint8_t>(ValueTag::kByte));
        U8(static_cast<uint8_t>(v.AsInteger()));
        return;
      case rtl::varArray | rtl::varByte: {
        const auto& bytes = v.Bytes();
        U8(static_cast<uint8_t>(ValueTag::kByteArray));
        Count(bytes.size());
        Raw(bytes.data(), bytes.size());
        return;
      }
      case rtl::varArray | rtl::varVariant: {
        if (depth >= kMaxNestingDepth)
          Fail("matrizes aninhadas em mais de " + Num(kMaxNestingDepth) + " níveis");
        const auto& items = v.Items();
        U8(static_cast<uint8_t>(ValueTag::kArray));
        Count(items.size());
        for (const auto& item : items) Value(item, depth + 1);
        return;
      }
      default:
        Fail("variante de tipo " + Num(v.Type()) + " não pode ser transmitida");
    }
  }

 private:
  uint8_t* Room(size_t n) {
    const size_t payload = out_.size() - start_ - kFrameHeaderSize;
    if (n > max_ || payload > max_ - n) Fail("quadro acima do limite de " + Num(max_) + " bytes");
    const size_t at = out_.size();
    out_.resize(at + n);
    return out_.data() + at;
  }
  void PutU32At(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }

  std::vector<uint8_t>& out_;
  const size_t start_;
  const uint32_t max_;
  size_t values_ = 0;
  bool done_ = false;
};

// Reads one payload; every length and count is checked against the bytes
// that remain before anything is allocated for it.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> payload) : data_(payload) {}

  void Type(FrameType expected) {
    if (U8() != static_cast<uint8_t>(expected)) Fail("tipo de quadro inesperado");
  }
  void End() const {
    if (pos_ != data_.size()) Fail(Num(data_.size() - pos_) + " bytes a mais no fim do quadro");
  }

  uint8_t U8() { return *Take(1); }
  uint16_t U16() {
    const uint8_t* p = Take(2);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  uint32_t U32() {
    const uint8_t* p = Take(4);
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  }
  int64_t I64() {
    const uint8_t* p = Take(8);
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t{p[i]} << (8 * i);
    return static_cast<int64_t>(v);
  }
  bool Flag(const char* what) {
    const uint8_t b = U8();
    if (b > 1) Fail(std::string(what) + " com valor " + Num(b) + " (esperado 0 ou 1)");
    return b == 1;
  }
  std::string Text() {
    const uint32_t n = Length(1);
    const char* p = reinterpret_cast<const char*>(Take(n));
    std::string_view text(p, n);
    if (!rtl::IsValidUtf8(text)) Fail("texto com UTF-8 inválido");
    return std::string(text);
  }
  std::string Name(const char* what) {
    std::string name = Text();
    if (name.empty() || name.size() > kMaxNameLength)
      Fail(std::string(what) + " vazio ou com mais de " + Num(kMaxNameLength) + " bytes");
    return name;
  }
  // A count of items of at least `min_item_size` bytes each, checked against
  // what remains.
  uint32_t Length(size_t min_item_size) {
    const uint32_t n = U32();
    if (static_cast<uint64_t>(n) * min_item_size > Remaining())
      Fail("contagem " + Num(n) + " maior que os " + Num(Remaining()) + " bytes restantes");
    return n;
  }

  rtl::Variant Value(int depth) {
    if (++values_ > kMaxValuesPerFrame)
      Fail("mais de " + Num(kMaxValuesPerFrame) + " valores num só quadro");
    const uint8_t tag = U8();
    switch (static_cast<ValueTag>(tag)) {
      case ValueTag::kEmpty:
        return rtl::Variant();
      case ValueTag::kNull:
        return rtl::Variant::Null();
      case ValueTag::kBoolean:
        return rtl::Variant(Flag("booleano"));
      case ValueTag::kInteger:
        return rtl::Variant(I64());
      case ValueTag::kString:
        return rtl::Variant(Text());
      case ValueTag::kByte:
        return rtl::Variant::Byte(U8());
      case ValueTag::kByteArray: {
        const uint32_t n = Length(1);
        const uint8_t* p = Take(n);
        return rtl::Variant::ByteArray(std::vector<uint8_t>(p, p + n));
      }
      case ValueTag::kArray: {
        if (depth >= kMaxNestingDepth)
          Fail("matrizes aninhadas em mais de " + Num(kMaxNestingDepth) + " níveis");
        const uint32_t n = Length(1);
        std::vector<rtl::Variant> items;
        items.reserve(std::min<size_t>(n, kMaxValuesPerFrame - values_ + 1));
        for (uint32_t i = 0; i < n; ++i) items.push_back(Value(depth + 1));
        return rtl::Variant::Array(std::move(items));
      }
    }
    Fail("marca de tipo de valor desconhecida " + Hex(tag));
  }

 private:
  size_t Remaining() const { return data_.size() - pos_; }
  const uint8_t* Take(size_t n) {
    if (n > Remaining()) Fail("quadro truncado (faltam " + Num(n - Remaining()) + " bytes)");
    const uint8_t* p = data_.data() + pos_;
    pos_ += n;
    return p;
  }

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  size_t values_ = 0;
};

std::string ReplaceBadUtf8(std::string_view text) {
  if (rtl::IsValidUtf8(text)) return std::string(text);
  std::string clean;
  clean.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + n <= text.size() && rtl::IsValidUtf8(text.substr(i, n))) {
      clean.append(text.substr(i, n));
      i += n;
    } else {
      clean += '?';
      ++i;
    }
  }
  return clean;
}

}  // namespace

void EncodeHello(std::vector<uint8_t>& out, std::string_view object_name, uint32_t max_frame_size) {
  HelloFrame hello;
  hello.version = kProtocolVersion1;
  hello.object_name = std::string(object_name);
  EncodeHello(out, hello, max_frame_size);
}

void EncodeHello(std::vector<uint8_t>& out, const HelloFrame& hello, uint32_t max_frame_size) {
  if (hello.version != kProtocolVersion1 && hello.version != kProtocolVersion)
    Fail("versão de protocolo " + Num(hello.version) + " desconhecida");
  Writer w(out, FrameType::kHello, max_frame_size);
  w.Raw(kProtocolMagic.data(), kProtocolMagic.size());
  w.U16(hello.version);
  w.Name(hello.object_name, "nome do objeto remoto");
  if (hello.version == kProtocolVersion) {
    if (hello.token.size() > kMaxTokenLength) Fail("chave de acesso longa demais");
    if (hello.user_name.size() > kMaxUserNameLength) Fail("nome de usuário longo demais");
    w.Text(hello.token);
    w.Text(hello.user_name);
  }
  w.Finish();
}

void EncodeAccept(std::vector<uint8_t>& out, uint16_t version) {
  Writer w(out, FrameType::kAccept, kDefaultMaxFrameSize);
  w.U16(version);
  w.Finish();
}

void EncodeRefuse(std::vector<uint8_t>& out, std::string_view text) {
  Writer w(out, FrameType::kRefuse, kDefaultMaxFrameSize);
  w.Text(ReplaceBadUtf8(text));
  w.Finish();
}

void EncodeCall(std::vector<uint8_t>& out, uint32_t call_id, std::string_view method,
                std::span<const Arg> args, uint32_t max_frame_size) {
  Writer w(out, FrameType::kCall, max_frame_size);
  w.U32(call_id);
  w.Name(method, "nome do método");
  w.Count(args.size());
  for (const Arg& arg : args) {
    w.U8(arg.ByRef() ? 1 : 0);
    w.Value(arg.Value(), 0);
  }
  w.Finish();
}

void EncodeAnswer(std::vector<uint8_t>& out, uint32_t call_id, const rtl::Variant& result,
                  std::span<const rtl::Variant> args, const std::vector<bool>& by_ref,
                  uint32_t max_frame_size) {
  Writer w(out, FrameType::kAnswer, max_frame_size);
  w.U32(call_id);
  w.Value(result, 0);
  size_t refs = 0;
  for (size_t i = 0; i < args.size() && i < by_ref.size(); ++i) refs += by_ref[i] ? 1 : 0;
  w.Count(refs);
  for (size_t i = 0; i < args.size() && i < by_ref.size(); ++i)
    if (by_ref[i]) w.Value(args[i], 0);
  w.Finish();
}

void EncodeFailure(std::vector<uint8_t>& out, uint32_t call_id, std::string_view text) {
  Writer w(out, FrameType::kFailure, kDefaultMaxFrameSize);
  w.U32(call_id);
  w.Text(ReplaceBadUtf8(text));
  w.Finish();
}

uint32_t DecodeFrameLength(std::span<const uint8_t, kFrameHeaderSize> prefix,
                           uint32_t max_frame_size) {
  const uint32_t n = uint32_t{prefix[0]} | (uint32_t{prefix[1]} << 8) |
                     (uint32_t{prefix[2]} << 16) | (uint32_t{prefix[3]} << 24);
  if (n == 0) Fail("quadro vazio");
  if (n > max_frame_size)
    Fail("tamanho " + Num(n) + " acima do limite de " + Num(max_frame_size) + " bytes");
  return n;
}

FrameType PeekFrameType(std::span<const uint8_t> payload) {
  if (payload.empty()) Fail("quadro vazio");
  const uint8_t t = payload[0];
  switch (static_cast<FrameType>(t)) {
    case FrameType::kHello:
    case FrameType::kAccept:
    case FrameType::kRefuse:
    case FrameType::kCall:
    case FrameType::kAnswer:
    case FrameType::kFailure:
      return static_cast<FrameType>(t);
  }
  Fail("tipo de quadro desconhecido " + Hex(t));
}

HelloFrame DecodeHello(std::span<const uint8_t> payload) {
  Reader r(payload);
  r.Type(FrameType::kHello);
  HelloFrame f;
  for (auto& b : f.magic) b = r.U8();
  f.version = r.U16();
  // What follows the version is that version's; of an unknown one only the
  // version is read, so the refusal can name it.
  if (f.version != kProtocolVersion1 && f.version != kProtocolVersion) return f;
  f.object_name = r.Name("nome do objeto remoto");
  if (f.version == kProtocolVersion) {
    f.token = r.Text();
    f.user_name = r.Text();
    if (f.token.size() > kMaxTokenLength) Fail("chave de acesso longa demais");
    if (f.user_name.size() > kMaxUserNameLength) Fail("nome de usuário longo demais");
  }
  r.End();
  return f;
}

AcceptFrame DecodeAccept(std::span<const uint8_t> payload) {
  Reader r(payload);
  r.Type(FrameType::kAccept);
  AcceptFrame f;
  f.version = r.U16();
  r.End();
  return f;
}

RefuseFrame DecodeRefuse(std::span<const uint8_t> payload) {
  Reader r(payload);
  r.Type(FrameType::kRefuse);
  RefuseFrame f;
  f.text = r.Text();
  r.End();
  return f;
}

CallFrame DecodeCall(std::span<const uint8_t> payload) {
  Reader r(payload);
  r.Type(FrameType::kCall);
  CallFrame f;
  f.call_id = r.U32();
  f.method = r.Name("nome do método");
  const uint32_t argc = r.Length(2);  // a flag and a tag at least
  f.args.reserve(argc);
  f.by_ref.reserve(argc);
  for (uint32_t i = 0; i < argc; ++i) {
    f.by_ref.push_back(r.Flag("indicador de argumento por referência"));
    f.args.push_back(r.Value(0));
  }
  r.End();
  return f;
}

AnswerFrame DecodeAnswer(std::span<const uint8_t> payload) {
  Reader r(payload);
  r.Type(FrameType::kAnswer);
  AnswerFrame f;
  f.call_id = r.U32();
  f.result = r.Value(0);
  const uint32_t n = r.Length(1);
  f.ref_values.reserve(n);
  for (uint32_t i = 0; i < n; ++i) f.ref_values.push_back(r.Value(0));
  r.End();
  return f;
}

FailureFrame DecodeFailure(std::span<const uint8_t> payload) {
  Reader r(payload);
  r.Type(FrameType::kFailure);
  FailureFrame f;
  f.call_id = r.U32();
  f.text = r.Text();
  r.End();
  return f;
}

Frame DecodePayload(std::span<const uint8_t> payload) {
  switch (PeekFrameType(payload)) {
    case FrameType::kHello:
      return DecodeHello(payload);
    case FrameType::kAccept:
      return DecodeAccept(payload);
    case FrameType::kRefuse:
      return DecodeRefuse(payload);
    case FrameType::kCall:
      return DecodeCall(payload);
    case FrameType::kAnswer:
      return DecodeAnswer(payload);
    case FrameType::kFailure:
      return DecodeFailure(payload);
  }
  Fail("tipo de quadro desconhecido");
}

Frame DecodeFrame(std::span<const uint8_t> bytes, uint32_t max_frame_size) {
  if (bytes.size() < kFrameHeaderSize) Fail("quadro truncado no prefixo de tamanho");
  const uint32_t n = DecodeFrameLength(bytes.first<kFrameHeaderSize>(), max_frame_size);
  const auto payload = bytes.subspan(kFrameHeaderSize);
  if (payload.size() < n) Fail("quadro truncado (faltam " + Num(n - payload.size()) + " bytes)");
  if (payload.size() > n) Fail(Num(payload.size() - n) + " bytes a mais depois do quadro");
  return DecodePayload(payload);
}

uint32_t PeekCallId(std::span<const uint8_t> payload) {
  if (payload.size() < 5 || payload[0] != static_cast<uint8_t>(FrameType::kCall)) return 0;
  return uint32_t{payload[1]} | (uint32_t{payload[2]} << 8) | (uint32_t{payload[3]} << 16) |
         (uint32_t{payload[4]} << 24);
}

}  // namespace net
