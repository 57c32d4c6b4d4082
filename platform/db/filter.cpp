#include "db/filter.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "db/errors.h"
#include "rtl/strings.h"

namespace db::detail {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw EDatabaseError("Expressão de filtro inválida: " + what);
}

enum class Tok { kEnd, kIdent, kText, kOp, kLParen, kRParen };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;  // identifier (as written), text value (unquoted) or operator
  size_t pos = 0;
};

// Field names are ASCII; the locale plays no part.
bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
  return IsIdentStart(c) || (c >= '0' && c <= '9');
}

// The comparison operators as written.
constexpr std::pair<std::string_view, FilterOp> kOperators[] = {
    {"=", FilterOp::kEq}, {"<>", FilterOp::kNe}, {"<", FilterOp::kLt},
    {">", FilterOp::kGt}, {"<=", FilterOp::kLe}, {">=", FilterOp::kGe},
};

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) { Advance(); }

  std::unique_ptr<FilterNode> ParseAll() {
    auto node = ParseOr(0);
    if (tok_.kind != Tok::kEnd) Fail("texto inesperado na posição " + std::to_string(tok_.pos + 1));
    return node;
  }

 private:
  // `word` is upper case; identifiers are ASCII, so folding a to z suffices.
  bool IsKeyword(std::string_view word) const {
    if (tok_.kind != Tok::kIdent || tok_.text.size() != word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
      if (rtl::UpCase(tok_.text[i]) != word[i]) return false;
    return true;
  }

  void Advance() {
    while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) <= ' ') ++pos_;
    tok_ = Token{};
    tok_.pos = pos_;
    if (pos_ >= text_.size()) return;
    char c = text_[pos_];
    if (IsIdentStart(c)) {
      size_t b = pos_;
      while (pos_ < text_.size() && IsIdentChar(text_[pos_])) ++pos_;
      tok_.kind = Tok::kIdent;
      tok_.text.assign(text_.substr(b, pos_ - b));
    } else if (c == '\'') {
      ++pos_;
      tok_.kind = Tok::kText;
      while (true) {
        if (pos_ >= text_.size()) Fail("texto sem aspa de fechamento");
        size_t quote = text_.find('\'', pos_);
        if (quote == std::string_view::npos) Fail("texto sem aspa de fechamento");
        tok_.text.append(text_.substr(pos_, quote - pos_));
        pos_ = quote + 1;
        if (pos_ < text_.size() && text_[pos_] == '\'') {
          tok_.text.push_back('\'');
          ++pos_;
          continue;
        }
        break;
      }
    } else if (c == '(' || c == ')') {
      tok_.kind = c == '(' ? Tok::kLParen : Tok::kRParen;
      ++pos_;
    } else if (c == '=' || c == '<' || c == '>') {
      tok_.kind = Tok::kOp;
      tok_.text.push_back(c);
      ++pos_;
      if (pos_ < text_.size() && c != '=' &&
          (text_[pos_] == '=' || (c == '<' && text_[pos_] == '>'))) {
        tok_.text.push_back(text_[pos_]);
        ++pos_;
      }
    } else {
      Fail("caractere inesperado na posição " + std::to_string(pos_ + 1));
    }
  }

  static void CheckDepth(int depth) {
    if (depth > 4 * kMaxFilterDepth) Fail("expressão longa ou aninhada demais");
  }

  std::unique_ptr<FilterNode> Join(FilterNode::Kind kind, std::unique_ptr<FilterNode> l,
                                   std::unique_ptr<FilterNode> r) {
    auto n = std::make_unique<FilterNode>();
    n->kind = kind;
    n->height = 1 + std::max(l->height, r ? r->height : 0);
    if (n->height > kMaxFilterDepth) Fail("expressão longa ou aninhada demais");
    n->left = std::move(l);
    n->right = std::move(r);
    return n;
  }

  // Operands read by `operand`, joined left to right into `kind` nodes by
  // `keyword`: OR of ANDs, AND of unary terms.
  std::unique_ptr<FilterNode> ParseChain(int depth, std::string_view keyword, FilterNode::Kind kind,
                                         std::unique_ptr<FilterNode> (Parser::*operand)(int)) {
    CheckDepth(depth);
    auto left = (this->*operand)(depth + 1);
    while (IsKeyword(keyword)) {
      Advance();
      left = Join(kind, std::move(left), (this->*operand)(depth + 1));
    }
    return left;
  }

  std::unique_ptr<FilterNode> ParseOr(int depth) {
    return ParseChain(depth, "OR", FilterNode::Kind::kOr, &Parser::ParseAnd);
  }

  std::unique_ptr<FilterNode> ParseAnd(int depth) {
    return ParseChain(depth, "AND", FilterNode::Kind::kAnd, &Parser::ParseUnary);
  }

  std::unique_ptr<FilterNode> ParseUnary(int depth) {
    CheckDepth(depth);
    if (IsKeyword("NOT")) {
      Advance();
      return Join(FilterNode::Kind::kNot, ParseUnary(depth + 1), nullptr);
    }
    return ParsePrimary(depth + 1);
  }

  std::unique_ptr<FilterNode> ParsePrimary(int depth) {
    CheckDepth(depth);
    if (tok_.kind == Tok::kLParen) {
      Advance();
      auto inner = ParseOr(depth + 1);
      if (tok_.kind != Tok::kRParen) Fail("falta fechar parêntese");
      Advance();
      return inner;
    }
    if (tok_.kind != Tok::kIdent || IsKeyword("AND") || IsKeyword("OR") || IsKeyword("NOT") ||
        IsKeyword("IS") || IsKeyword("NULL"))
      Fail("esperado nome de campo na posição " + std::to_string(tok_.pos + 1));
    auto node = std::make_unique<FilterNode>();
    node->field = std::move(tok_.text);
    Advance();
    if (IsKeyword("IS")) {
      Advance();
      node->kind = FilterNode::Kind::kIsNull;
      if (IsKeyword("NOT")) {
        node->kind = FilterNode::Kind::kIsNotNull;
        Advance();
      }
      if (!IsKeyword("NULL")) Fail("esperado NULL depois de IS");
      Advance();
      return node;
    }
    if (tok_.kind != Tok::kOp) Fail("esperado operador depois de " + node->field);
    const std::string& op = tok_.text;
    const auto* known = std::find_if(std::begin(kOperators), std::end(kOperators),
                                     [&op](const auto& o) { return o.first == op; });
    if (known == std::end(kOperators)) Fail("operador desconhecido " + op);
    node->op = known->second;
    Advance();
    if (tok_.kind != Tok::kText) Fail("esperado texto entre aspas depois do operador");
    node->value = std::move(tok_.text);
    node->kind = FilterNode::Kind::kCompare;
    Advance();
    return node;
  }

  std::string_view text_;
  size_t pos_ = 0;
  Token tok_;
};

}  // namespace

std::unique_ptr<FilterNode> ParseFilter(std::string_view expression) {
  if (!rtl::IsValidUtf8(expression)) Fail("o texto não é UTF-8 válido");
  bool blank = true;
  for (char c : expression) blank = blank && static_cast<unsigned char>(c) <= ' ';
  if (blank) return nullptr;
  Parser parser(expression);
  return parser.ParseAll();
}

void ResolveFilterFields(FilterNode& node, const std::function<int(std::string_view)>& find) {
  switch (node.kind) {
    case FilterNode::Kind::kCompare:
    case FilterNode::Kind::kIsNull:
    case FilterNode::Kind::kIsNotNull:
      node.field_index = find(node.field);
      if (node.field_index < 0) Fail("campo " + node.field + " não encontrado");
      return;
    case FilterNode::Kind::kAnd:
    case FilterNode::Kind::kOr:
      ResolveFilterFields(*node.left, find);
      ResolveFilterFields(*node.right, find);
      return;
    case FilterNode::Kind::kNot:
      ResolveFilterFields(*node.left, find);
      return;
  }
}

bool EvalFilter(const FilterNode& node, const std::vector<FieldValue>& values) {
  switch (node.kind) {
    case FilterNode::Kind::kCompare: {
      const FieldValue& v = values[static_cast<size_t>(node.field_index)];
      std::string_view text = v ? std::string_view(*v) : std::string_view();
      int c = text.compare(node.value);
      switch (node.op) {
        case FilterOp::kEq:
          return c == 0;
        case FilterOp::kNe:
          return c != 0;
        case FilterOp::kLt:
          return c < 0;
        case FilterOp::kGt:
          return c > 0;
        case FilterOp::kLe:
          return c <= 0;
        case FilterOp::kGe:
          return c >= 0;
      }
      return false;
    }
    case FilterNode::Kind::kIsNull:
      return !values[static_cast<size_t>(node.field_index)].has_value();
    case FilterNode::Kind::kIsNotNull:
      return values[static_cast<size_t>(node.field_index)].has_value();
    case FilterNode::Kind::kAnd:
      return EvalFilter(*node.left, values) && EvalFilter(*node.right, values);
    case FilterNode::Kind::kOr:
      return EvalFilter(*node.left, values) || EvalFilter(*node.right, values);
    case FilterNode::Kind::kNot:
      return !EvalFilter(*node.left, values);
  }
  return false;
}

}  // namespace db::detail
