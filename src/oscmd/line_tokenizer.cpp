#include "oscmd/line_tokenizer.h"

#include <cstddef>
#include <cstring>

#include "platform/sjis_chars.h"
#include "script/variables.h"

namespace {

struct VariableReference {
  uint32_t mNumber;
  int64_t mStart;
};

VariableReference SplitReference(int64_t reference) {
  auto bits = static_cast<uint64_t>(reference);
  return {static_cast<uint32_t>(bits >> 32), static_cast<int64_t>(bits & 0xFFFFFFFFu)};
}

// An element index past 32 bits would wrap onto the low elements.
bool InElementRange(const VariableRecord* record, int64_t index) {
  return index >= 0 && index <= 0xFFFFFFFFll && ElementInRange(record, index);
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsLetter(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool ContinuesWord(uint8_t c) { return IsDigit(c) || IsLetter(c) || c == '.' || c == '/' || c == '_'; }

// Length of the character at `at`: two for a lead byte followed by a byte
// that is not the terminator.
size_t CharLength(const char* text, size_t at) {
  return IsSjisLeadByte(static_cast<uint8_t>(text[at])) && text[at + 1] != '\0' ? 2 : 1;
}

enum class State { kNormal, kBlanks, kTabs, kWord, kString, kComment };

class Tokenizer {
 public:
  Tokenizer(const char* text, int64_t strings, int64_t kinds)
      : mText(text), mStrings(SplitReference(strings)), mKinds(SplitReference(kinds)) {}

  int64_t Run(bool inComment) {
    mState = inComment ? State::kComment : State::kNormal;
    while (mText[mPos] != '\0' && !mStopped) Step();
    return mCount;
  }
  bool InComment() const { return mState == State::kComment; }

 private:
  void StoreRange(size_t from, size_t to, int64_t kind) { Store(mText + from, to - from, kind); }
  void StoreText(const char* text, int64_t kind) { Store(text, std::strlen(text), kind); }
  void Store(const char* text, size_t length, int64_t kind) {
    SetText(text, length);
    const VariableRecord* record = FindVariableRecord(mKinds.mNumber);
    if (InElementRange(record, mKinds.mStart + mCount)) SetNumberElement(mKinds.mNumber, mKinds.mStart + mCount, kind);
    // A string kind array is reported (fatal) by the store: the line ends.
    if (record != nullptr && record->mVarType == kVarString) mStopped = true;
    ++mCount;
  }
  // The text of the current element (uncounted).
  void SetText(const char* text, size_t length) {
    if (InElementRange(FindVariableRecord(mStrings.mNumber), mStrings.mStart + mCount)) {
      SetStringElementBytes(mStrings.mNumber, mStrings.mStart + mCount, text, length);
    }
  }
  // A token of `length` bytes at the current byte.
  void Token(size_t length, int64_t kind) {
    StoreRange(mPos, mPos + length, kind);
    mPos += length;
    mStart = mPos;
  }
  void Enter(State state, size_t length) {
    mStart = mPos;
    mPos += length;
    mState = state;
  }

  void Step() {
    auto c = static_cast<uint8_t>(mText[mPos]);
    switch (mState) {
      case State::kNormal: return StepNormal(c, static_cast<uint8_t>(mText[mPos + 1]));
      case State::kWord:
        if (ContinuesWord(c) || IsSjisLeadByte(c)) {
          mPos += CharLength(mText, mPos);
          return;
        }
        StoreRange(mStart, mPos, kTokenWord);
        mStart = mPos;
        mState = State::kNormal;
        return;
      case State::kString:
        if (c == '"' || c == '\r') {
          StoreRange(mStart, mPos + 1, kTokenString);
          mStart = ++mPos;
          mState = State::kNormal;
          return;
        }
        mPos += CharLength(mText, mPos);
        return;
      case State::kBlanks:
      case State::kTabs:
        if (c == (mState == State::kBlanks ? ' ' : '\t')) {
          ++mPos;
          return;
        }
        mStart = mPos;
        mState = State::kNormal;
        return;
      case State::kComment:
        if (c == '*' && mText[mPos + 1] == '/') {
          // The comment's text lands in the current element without a kind
          // and without being counted: the next token overwrites it.
          SetText(mText + mStart, mPos + 2 - mStart);
          mPos += 2;
          mStart = mPos;
          mState = State::kNormal;
          return;
        }
        if (c == '\r') {
          StoreText("\r", kTokenLineEnd);
          mStart = ++mPos;
          return;
        }
        mPos += CharLength(mText, mPos);
        return;
    }
  }

  void StepNormal(uint8_t c, uint8_t d) {
    if (IsDigit(c) || c == '-' || IsLetter(c) || c == '_' || c == '.') return Enter(State::kWord, 1);
    if (IsSjisLeadByte(c)) return Enter(State::kWord, CharLength(mText, mPos));
    switch (c) {
      case '"': return Enter(State::kString, 1);
      case ' ': return Enter(State::kBlanks, 1);
      case '\t': return Enter(State::kTabs, 1);
      case '\\': return Token(1, kTokenBackslash);
      case '(': return Token(1, kTokenOpenParen);
      case ')': return Token(1, kTokenCloseParen);
      case ',': return Token(1, kTokenComma);
      case '@': return Token(1, kTokenAt);
      case '$': return Token(1, kTokenDollar);
      case ';':
        mStart = ++mPos;
        return;
      case '#':
        StoreRange(mPos, mPos + 1, kTokenHash);
        mPos += d == '=' ? 2 : 1;
        mStart = mPos;
        return;
      case '+':
        if (d == '+') return Token(2, kTokenIncrement);
        if (d == '=') return Token(2, kTokenAddAssign);
        break;
      case '*':
        if (d == '=') return Token(2, kTokenMulAssign);
        break;
      case '/':
        if (d == '/') {
          StoreText("\r", kTokenLineEnd);
          mStopped = true;
          return;
        }
        if (d == '*') return Enter(State::kComment, 2);
        if (d == '=') return Token(2, kTokenDivAssign);
        break;
      default:
        break;
    }
    Token(CharLength(mText, mPos), kTokenOther);
  }

  const char* mText;
  VariableReference mStrings;
  VariableReference mKinds;
  State mState = State::kNormal;
  size_t mPos = 0;
  size_t mStart = 0;
  int64_t mCount = 0;
  bool mStopped = false;
};

}  // namespace

int64_t TokenizeLine(const char* text, int64_t strings, int64_t kinds, int64_t commentState) {
  VariableReference comment = SplitReference(commentState);
  bool inComment = GetIntElement(comment.mNumber, comment.mStart) != 0;
  Tokenizer tokenizer(text != nullptr ? text : "", strings, kinds);
  int64_t count = tokenizer.Run(inComment);
  SetNumberElement(comment.mNumber, comment.mStart, tokenizer.InComment() ? 1 : 0);
  return count;
}

int64_t StoreStringLengths(int64_t strings, int64_t lengths) {
  VariableReference from = SplitReference(strings);
  VariableReference to = SplitReference(lengths);
  const VariableRecord* source = FindVariableRecord(from.mNumber);
  const VariableRecord* target = FindVariableRecord(to.mNumber);
  int64_t count = 0;
  for (int64_t i = 0;; ++i) {
    // Both arrays end the walk: nothing is read or written past either.
    if (!InElementRange(source, from.mStart + i) || !InElementRange(target, to.mStart + i)) break;
    if (source->mVarType != kVarString) break;
    const char* text = GetStringElement(from.mNumber, from.mStart + i);
    size_t length = text != nullptr ? std::strlen(text) : 0;
    SetNumberElement(to.mNumber, to.mStart + i, static_cast<int64_t>(length));
    if (length == 0) break;
    ++count;
  }
  return count;
}
