#include "liveries/name_expression.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

namespace {

using ByteSet = std::bitset<256>;

// Larger counts make an automaton too large anyway; reading stops growing a count here.
constexpr std::uint64_t kCountCeiling = 1'000'000'000;

// The classes of the "C" locale, in which the bytes of a name are read.
bool lf_isDigit(unsigned c) { return c >= '0' && c <= '9'; }
bool lf_isUpper(unsigned c) { return c >= 'A' && c <= 'Z'; }
bool lf_isLower(unsigned c) { return c >= 'a' && c <= 'z'; }
bool lf_isAlpha(unsigned c) { return lf_isUpper(c) || lf_isLower(c); }
bool lf_isAlnum(unsigned c) { return lf_isAlpha(c) || lf_isDigit(c); }
bool lf_isWord(unsigned c) { return lf_isAlnum(c) || c == '_'; }
bool lf_isSpace(unsigned c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool lf_isBlank(unsigned c) { return c == ' ' || c == '\t'; }
bool lf_isControl(unsigned c) { return c < 0x20 || c == 0x7F; }
bool lf_isGraph(unsigned c) { return c > 0x20 && c < 0x7F; }
bool lf_isPrint(unsigned c) { return c >= 0x20 && c < 0x7F; }
bool lf_isPunct(unsigned c) { return lf_isGraph(c) && !lf_isAlnum(c); }
bool lf_isHexDigit(unsigned c) { return lf_isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

unsigned lf_lower(unsigned c) { return lf_isUpper(c) ? c - 'A' + 'a' : c; }
unsigned lf_upper(unsigned c) { return lf_isLower(c) ? c - 'a' + 'A' : c; }

using BytePredicate = bool (*)(unsigned);

struct NamedClass {
    std::string_view name;
    BytePredicate test;
};

// The names of "[[:name:]]". Letter case is ignored, so lower and upper both stand for alpha.
constexpr std::array<NamedClass, 15> kNamedClasses{{{"alnum", lf_isAlnum},
                                                    {"alpha", lf_isAlpha},
                                                    {"blank", lf_isBlank},
                                                    {"cntrl", lf_isControl},
                                                    {"digit", lf_isDigit},
                                                    {"graph", lf_isGraph},
                                                    {"lower", lf_isAlpha},
                                                    {"print", lf_isPrint},
                                                    {"punct", lf_isPunct},
                                                    {"space", lf_isSpace},
                                                    {"upper", lf_isAlpha},
                                                    {"xdigit", lf_isHexDigit},
                                                    {"w", lf_isWord},
                                                    {"d", lf_isDigit},
                                                    {"s", lf_isSpace}}};

ByteSet lf_setOf(BytePredicate test)
{
    ByteSet set;
    for (unsigned c = 0; c < 256; ++c)
        set[c] = test(c);
    return set;
}

// One byte in either letter case.
ByteSet lf_byteSet(unsigned c)
{
    ByteSet set;
    set.set(c).set(lf_lower(c)).set(lf_upper(c));
    return set;
}

// Thrown inside the builder for an expression it refuses.
struct Refused {};

} // namespace

// Reads the expression's text into a tree (an atom, a sequence, a choice or a repeat per node)
// and writes the tree out as the automaton's states, each leading on to the next.
class NameExpressionBuilder {
public:
    explicit NameExpressionBuilder(std::string_view text) : text_(text) {}

    NameExpression build()
    {
        const Node root = disjunction(0);
        if (pos_ != text_.size())
            throw Refused{}; // a ')' without its '('
        if (size(root) + 1 > NameExpression::kMaxStates)
            throw Refused{};
        expression_.states_.reserve(static_cast<std::size_t>(size(root)) + 1);
        const std::uint32_t match = add({NameExpression::Kind::Match});
        expression_.start_ = emit(root, match);
        return std::move(expression_);
    }

private:
    using Kind = NameExpression::Kind;
    using Assertion = NameExpression::Assertion;
    using State = NameExpression::State;

    struct Node {
        enum class Type : std::uint8_t { Sequence, Choice, Bytes, Assertion, Repeat };
        explicit Node(Type t) : type(t) {}

        Type type;
        ByteSet bytes;
        Assertion assertion = Assertion::Begin;
        std::uint64_t min = 0;
        std::uint64_t max = 0;
        bool unbounded = false;
        std::vector<Node> children; // of a sequence or a choice; the one repeated child
    };

    // One member of a bracket: a byte (none for a code beyond one byte) or a class of bytes.
    struct ClassAtom {
        std::optional<unsigned> byte;
        std::optional<ByteSet> bytes;
    };

    bool peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
    unsigned next()
    {
        if (pos_ == text_.size())
            throw Refused{};
        return static_cast<unsigned char>(text_[pos_++]);
    }

    static Node bytesNode(const ByteSet& bytes)
    {
        Node node(Node::Type::Bytes);
        node.bytes = bytes;
        return node;
    }
    static Node assertionNode(Assertion assertion)
    {
        Node node(Node::Type::Assertion);
        node.assertion = assertion;
        return node;
    }

    Node disjunction(std::size_t depth)
    {
        if (depth > NameExpression::kMaxNesting)
            throw Refused{};
        Node choice(Node::Type::Choice);
        choice.children.push_back(alternative(depth));
        while (peek('|')) {
            ++pos_;
            choice.children.push_back(alternative(depth));
        }
        return choice.children.size() == 1 ? std::move(choice.children.front()) : std::move(choice);
    }

    Node alternative(std::size_t depth)
    {
        Node sequence(Node::Type::Sequence);
        while (pos_ < text_.size() && !peek('|') && !peek(')'))
            sequence.children.push_back(term(depth));
        return sequence;
    }

    // An assertion, or an atom with its quantifier. A quantifier after an assertion or after
    // another quantifier starts the next term, which has nothing to repeat.
    Node term(std::size_t depth)
    {
        if (peek('^') || peek('$')) {
            return assertionNode(text_[pos_++] == '^' ? Assertion::Begin : Assertion::End);
        }
        if (peek('\\') && pos_ + 1 < text_.size() && (text_[pos_ + 1] == 'b' || text_[pos_ + 1] == 'B')) {
            pos_ += 2;
            return assertionNode(text_[pos_ - 1] == 'b' ? Assertion::WordBoundary : Assertion::NotWordBoundary);
        }
        return quantified(atom(depth));
    }

    Node atom(std::size_t depth)
    {
        const unsigned c = next();
        switch (c) {
        case '*':
        case '+':
        case '?':
        case '{':
            throw Refused{}; // nothing to repeat
        case '(':
            return group(depth);
        case '[':
            return bytesNode(bracket());
        case '.': {
            ByteSet any;
            any.set();
            any.reset('\n').reset('\r');
            return bytesNode(any);
        }
        case '\\':
            return escape();
        default:
            return bytesNode(lf_byteSet(c));
        }
    }

    Node group(std::size_t depth)
    {
        if (peek('?')) {
            ++pos_;
            if (!peek(':'))
                throw Refused{}; // a look-ahead, or no valid group
            ++pos_;
        }
        Node inner = disjunction(depth + 1);
        if (!peek(')'))
            throw Refused{};
        ++pos_;
        return inner;
    }

    Node quantified(Node atom)
    {
        Node repeat(Node::Type::Repeat);
        if (peek('*') || peek('+')) {
            repeat.min = text_[pos_++] == '+' ? 1 : 0;
            repeat.unbounded = true;
        } else if (peek('?')) {
            ++pos_;
            repeat.max = 1;
        } else if (peek('{')) {
            count(repeat);
        } else {
            return atom;
        }
        if (peek('?'))
            ++pos_; // a lazy quantifier matches the same names
        repeat.children.push_back(std::move(atom));
        return repeat;
    }

    std::uint64_t number()
    {
        if (pos_ == text_.size() || !lf_isDigit(static_cast<unsigned char>(text_[pos_])))
            throw Refused{};
        std::uint64_t value = 0;
        while (pos_ < text_.size() && lf_isDigit(static_cast<unsigned char>(text_[pos_])))
            value = std::min(kCountCeiling, value * 10 + static_cast<std::uint64_t>(text_[pos_++] - '0'));
        return value;
    }

    // "{n}", "{n,}" or "{n,m}" with n <= m; anything else after '{' is no valid expression.
    void count(Node& repeat)
    {
        ++pos_;
        repeat.min = number();
        repeat.max = repeat.min;
        if (peek(',')) {
            ++pos_;
            if (peek('}'))
                repeat.unbounded = true;
            else
                repeat.max = number();
        }
        if (!peek('}') || (!repeat.unbounded && repeat.max < repeat.min))
            throw Refused{};
        ++pos_;
    }

    static std::optional<ByteSet> classEscape(unsigned e)
    {
        switch (e) {
        case 'd':
            return lf_setOf(lf_isDigit);
        case 'D':
            return ~lf_setOf(lf_isDigit);
        case 's':
            return lf_setOf(lf_isSpace);
        case 'S':
            return ~lf_setOf(lf_isSpace);
        case 'w':
            return lf_setOf(lf_isWord);
        case 'W':
            return ~lf_setOf(lf_isWord);
        default:
            return std::nullopt;
        }
    }

    unsigned hexDigits(int count)
    {
        unsigned value = 0;
        for (int i = 0; i < count; ++i) {
            const unsigned h = next();
            if (!lf_isHexDigit(h))
                throw Refused{};
            value = value * 16 + (lf_isDigit(h) ? h - '0' : lf_lower(h) - 'a' + 10);
        }
        return value;
    }

    // The byte of a character escape whose letter `e` was just read; none for a code beyond one
    // byte, which no byte of a name equals.
    std::optional<unsigned> characterEscape(unsigned e)
    {
        switch (e) {
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        case '0':
            return 0u;
        case 'c': {
            const unsigned letter = next();
            if (!lf_isAlpha(letter))
                throw Refused{};
            return letter % 32;
        }
        case 'x':
            return hexDigits(2);
        case 'u': {
            const unsigned code = hexDigits(4);
            return code < 256 ? std::optional<unsigned>(code) : std::nullopt;
        }
        default:
            if (lf_isDigit(e))
                throw Refused{}; // a back-reference
            return e;            // any other character stands for itself
        }
    }

    Node escape()
    {
        const unsigned e = next();
        if (const std::optional<ByteSet> bytes = classEscape(e))
            return bytesNode(*bytes);
        const std::optional<unsigned> byte = characterEscape(e);
        return bytesNode(byte ? lf_byteSet(*byte) : ByteSet());
    }

    ClassAtom classAtom()
    {
        const unsigned c = next();
        if (c == '\\') {
            const unsigned e = next();
            if (const std::optional<ByteSet> bytes = classEscape(e))
                return {std::nullopt, bytes};
            if (e == 'b')
                return {'\b', std::nullopt};
            if (e == 'B')
                throw Refused{};
            return {characterEscape(e), std::nullopt};
        }
        if (c == '[' && peek(':'))
            return {std::nullopt, namedClass()};
        if (c == '[' && (peek('.') || peek('=')))
            throw Refused{}; // collating elements and equivalence classes are not read
        return {c, std::nullopt};
    }

    ByteSet namedClass()
    {
        const std::size_t begin = pos_ + 1;
        const std::size_t end = text_.find(":]", begin);
        if (end == std::string_view::npos)
            throw Refused{};
        const std::string_view name = text_.substr(begin, end - begin);
        pos_ = end + 2;
        for (const NamedClass& named : kNamedClasses)
            if (named.name == name)
                return lf_setOf(named.test);
        throw Refused{};
    }

    // A range takes a byte in either letter case when one of its cases lies in it.
    static void addRange(ByteSet& set, unsigned low, unsigned high)
    {
        for (unsigned c = 0; c < 256; ++c) {
            const auto within = [&](unsigned x) { return x >= low && x <= high; };
            if (within(c) || within(lf_lower(c)) || within(lf_upper(c)))
                set.set(c);
        }
    }

    ByteSet bracket()
    {
        const bool negated = peek('^');
        if (negated)
            ++pos_;
        ByteSet set;
        while (!peek(']')) {
            const ClassAtom low = classAtom();
            if (peek('-') && pos_ + 1 < text_.size() && text_[pos_ + 1] != ']') {
                ++pos_;
                const ClassAtom high = classAtom();
                if (!low.byte || !high.byte || *low.byte > *high.byte)
                    throw Refused{}; // a class or a code beyond one byte at an end, or a reversed range
                addRange(set, *low.byte, *high.byte);
            } else if (low.bytes) {
                set |= *low.bytes;
            } else if (low.byte) {
                set |= lf_byteSet(*low.byte);
            }
        }
        ++pos_;
        return negated ? ~set : set;
    }

    // The number of states that `emit` makes of the node, at most kMaxStates + 1.
    static std::uint64_t size(const Node& node)
    {
        constexpr std::uint64_t over = NameExpression::kMaxStates + 1;
        switch (node.type) {
        case Node::Type::Bytes:
        case Node::Type::Assertion:
            return 1;
        case Node::Type::Sequence:
        case Node::Type::Choice: {
            std::uint64_t total = node.type == Node::Type::Choice ? node.children.size() - 1 : 0;
            for (const Node& child : node.children)
                total = std::min(over, total + size(child));
            return total;
        }
        case Node::Type::Repeat: {
            const std::uint64_t one = size(node.children.front());
            if (one == 0 || one >= over)
                return one;
            const std::uint64_t optional = node.unbounded ? one + 1 : (node.max - node.min) * (one + 1);
            return std::min(over, node.min * one + optional);
        }
        }
        return over;
    }

    std::uint32_t add(const State& state)
    {
        expression_.states_.push_back(state);
        return static_cast<std::uint32_t>(expression_.states_.size() - 1);
    }

    std::uint32_t split(std::uint32_t out, std::uint32_t alt)
    {
        State state{Kind::Split};
        state.out = out;
        state.alt = alt;
        return add(state);
    }

    // The states of the node, leading on to `next`; returns the node's first state.
    std::uint32_t emit(const Node& node, std::uint32_t next)
    {
        switch (node.type) {
        case Node::Type::Bytes: {
            State state{Kind::Byte};
            state.bytes = static_cast<std::uint32_t>(expression_.bytes_.size());
            state.out = next;
            expression_.bytes_.push_back(node.bytes);
            return add(state);
        }
        case Node::Type::Assertion: {
            State state{Kind::Assertion};
            state.assertion = node.assertion;
            state.out = next;
            return add(state);
        }
        case Node::Type::Sequence:
            for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
                next = emit(*child, next);
            return next;
        case Node::Type::Choice: {
            std::uint32_t first = emit(node.children.back(), next);
            for (std::size_t i = node.children.size() - 1; i-- > 0;)
                first = split(emit(node.children[i], next), first);
            return first;
        }
        case Node::Type::Repeat:
            return emitRepeat(node, next);
        }
        return next;
    }

    std::uint32_t emitRepeat(const Node& node, std::uint32_t next)
    {
        const Node& child = node.children.front();
        if (size(child) == 0)
            return next; // any number of empty matches is one
        if (node.unbounded) {
            const std::uint32_t loop = split(0, next);
            expression_.states_[loop].out = emit(child, loop);
            next = loop;
        } else {
            for (std::uint64_t i = node.min; i < node.max; ++i)
                next = split(emit(child, next), next);
        }
        for (std::uint64_t i = 0; i < node.min; ++i)
            next = emit(child, next);
        return next;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    NameExpression expression_;
};

std::optional<NameExpression> NameExpression::compile(std::string_view text)
{
    try {
        return NameExpressionBuilder(text).build();
    } catch (const Refused&) {
        return std::nullopt;
    }
}

bool NameExpression::matchesWhole(std::string_view name) const
{
    const auto wordAt = [&](std::size_t i) {
        return i < name.size() && lf_isWord(static_cast<unsigned char>(name[i]));
    };
    const auto holds = [&](Assertion assertion, std::size_t at) {
        switch (assertion) {
        case Assertion::Begin:
            return at == 0;
        case Assertion::End:
            return at == name.size();
        case Assertion::WordBoundary:
            return (at > 0 && wordAt(at - 1)) != wordAt(at);
        case Assertion::NotWordBoundary:
            return (at > 0 && wordAt(at - 1)) == wordAt(at);
        }
        return false;
    };
    // The states reached at one place of the name that read a byte or accept; each state is
    // taken once per place (`seen` holds the place + 1 at which it was last taken).
    std::vector<std::size_t> seen(states_.size(), 0);
    std::vector<std::uint32_t> pending;
    const auto reach = [&](std::vector<std::uint32_t>& reached, std::uint32_t from, std::size_t at) {
        pending.push_back(from);
        while (!pending.empty()) {
            const std::uint32_t index = pending.back();
            pending.pop_back();
            if (seen[index] == at + 1)
                continue;
            seen[index] = at + 1;
            const State& state = states_[index];
            if (state.kind == Kind::Split) {
                pending.push_back(state.alt);
                pending.push_back(state.out);
            } else if (state.kind == Kind::Assertion) {
                if (holds(state.assertion, at))
                    pending.push_back(state.out);
            } else {
                reached.push_back(index);
            }
        }
    };
    std::vector<std::uint32_t> current;
    std::vector<std::uint32_t> following;
    reach(current, start_, 0);
    for (std::size_t at = 0; at < name.size(); ++at) {
        if (current.empty())
            return false;
        const auto byte = static_cast<unsigned char>(name[at]);
        following.clear();
        for (const std::uint32_t index : current) {
            const State& state = states_[index];
            if (state.kind == Kind::Byte && bytes_[state.bytes][byte])
                reach(following, state.out, at + 1);
        }
        current.swap(following);
    }
    return std::any_of(current.begin(), current.end(),
                       [&](std::uint32_t index) { return states_[index].kind == Kind::Match; });
}
