// The two frames of version 4 that carry notices: Notice (server) and
// Subscribe (client).
#include "net/frame.h"
#include "net/frame_buffers.h"

namespace net {

using detail::Fail;
using detail::kMaxNameLength;
using detail::Num;
using detail::Reader;
using detail::Writer;

namespace {

// A notice's texts are short (codes, an account, a time): each is held to
// the length of a name, so a notice stays small whatever it names.
void ShortText(Writer& w, std::string_view text, const char* what) {
  if (text.size() > kMaxNameLength)
    Fail(std::string(what) + " com mais de " + Num(kMaxNameLength) + " bytes");
  w.Text(text);
}

std::string ShortText(Reader& r, const char* what) {
  std::string text = r.Text();
  if (text.size() > kMaxNameLength)
    Fail(std::string(what) + " com mais de " + Num(kMaxNameLength) + " bytes");
  return text;
}

template <typename E>
E Bounded(Reader& r, E first, E last, const char* what) {
  const uint8_t v = r.U8();
  if (v < static_cast<uint8_t>(first) || v > static_cast<uint8_t>(last))
    Fail(std::string(what) + " desconhecido " + Num(v));
  return static_cast<E>(v);
}

}  // namespace

void EncodeNotice(std::vector<uint8_t>& out, const NoticeFrame& n) {
  Writer w(out, FrameType::kNotice, kDefaultMaxFrameSize);
  w.U8(static_cast<uint8_t>(n.kind));
  ShortText(w, n.table, "tabela do aviso");
  w.U8(static_cast<uint8_t>(n.item_kind));
  ShortText(w, n.item, "item do aviso");
  w.U8(static_cast<uint8_t>(n.change));
  ShortText(w, n.account, "conta do aviso");
  ShortText(w, n.when, "hora do aviso");
  w.Finish();
}

void EncodeSubscribe(std::vector<uint8_t>& out, bool on) {
  Writer w(out, FrameType::kSubscribe, kDefaultMaxFrameSize);
  w.U8(on ? 1 : 0);
  w.Finish();
}

NoticeFrame DecodeNotice(std::span<const uint8_t> payload) {
  Reader r(payload);
  r.Type(FrameType::kNotice);
  NoticeFrame n;
  n.kind = Bounded(r, NoticeKind::kChange, NoticeKind::kReloadAll, "tipo de aviso");
  n.table = ShortText(r, "tabela do aviso");
  n.item_kind = Bounded(r, NoticeItem::kNone, NoticeItem::kDrillLink, "tipo de item do aviso");
  n.item = ShortText(r, "item do aviso");
  n.change = Bounded(r, NoticeChange::kNone, NoticeChange::kDelete, "tipo de alteração do aviso");
  n.account = ShortText(r, "conta do aviso");
  n.when = ShortText(r, "hora do aviso");
  r.End();
  return n;
}

SubscribeFrame DecodeSubscribe(std::span<const uint8_t> payload) {
  Reader r(payload);
  r.Type(FrameType::kSubscribe);
  SubscribeFrame f;
  f.on = r.Flag("pedido de avisos");
  r.End();
  return f;
}

}  // namespace net
