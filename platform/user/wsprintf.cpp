// wsprintfA and wvsprintfA: the platform's small printf. Conversions
// %c %d %i %u %x %X %s and %%, flags '-', '0' and '#', a width, a precision
// (the most characters of a string, the fewest digits of a number) and the
// size prefixes 'l' and 'h'. No floating point: any other conversion letter
// is copied as it stands. At most 1024 characters are written, plus the
// terminating zero.
#include <windows.h>

#include <cstring>

#include "core/trace.h"

namespace {

constexpr int kOutputLimit = 1024;

// Collects output up to the limit and drops the rest.
struct Output {
  char *buffer;
  int length = 0;
  void put(char c) {
    if (length < kOutputLimit) buffer[length++] = c;
  }
  void put(const char *text, int count) {
    for (int i = 0; i < count; ++i) put(text[i]);
  }
  void fill(char c, int count) {
    for (int i = 0; i < count; ++i) put(c);
  }
};

struct FieldFormat {
  bool left = false, zero = false, alternate = false;
  int width = 0;
  int precision = -1;
};

int readNumber(const char *&p) {
  int n = 0;
  while (*p >= '0' && *p <= '9') {
    if (n < 100000) n = n * 10 + (*p - '0');  // widths past the limit all mean "too wide"
    ++p;
  }
  return n;
}

// Writes `body` (`count` characters) with its prefix (sign, "0x") padded to
// the width.
void emitField(Output &out, const FieldFormat &field, const char *prefix, const char *body, int count, bool numeric) {
  int prefixLength = static_cast<int>(std::strlen(prefix));
  int digits = count;
  int precisionZeros = numeric && field.precision > digits ? field.precision - digits : 0;
  int total = prefixLength + precisionZeros + digits;
  int padding = field.width > total ? field.width - total : 0;
  bool zeroPad = field.zero && !field.left && numeric && field.precision < 0;
  if (!field.left && !zeroPad) out.fill(' ', padding);
  out.put(prefix, prefixLength);
  if (zeroPad) out.fill('0', padding);
  out.fill('0', precisionZeros);
  out.put(body, count);
  if (field.left) out.fill(' ', padding);
}

void emitNumber(Output &out, const FieldFormat &field, char conversion, unsigned value, bool negative) {
  char digits[16];
  int count = 0;
  unsigned base = (conversion == 'x' || conversion == 'X') ? 16 : 10;
  const char *alphabet = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  do {
    digits[count++] = alphabet[value % base];
    value /= base;
  } while (value != 0);
  char body[16];
  for (int i = 0; i < count; ++i) body[i] = digits[count - 1 - i];
  // A zero precision prints nothing for the value zero, as printf does.
  if (field.precision == 0 && count == 1 && body[0] == '0') count = 0;
  const char *prefix = "";
  if (negative)
    prefix = "-";
  else if (field.alternate && base == 16 && !(count == 1 && body[0] == '0') && count > 0)
    prefix = conversion == 'X' ? "0X" : "0x";
  emitField(out, field, prefix, body, count, true);
}

int formatInto(char *buffer, const char *format, va_list arguments) {
  Output out{buffer};
  for (const char *p = format; *p;) {
    if (*p != '%') {
      out.put(*p++);
      continue;
    }
    ++p;
    FieldFormat field;
    for (;; ++p) {
      if (*p == '-')
        field.left = true;
      else if (*p == '0')
        field.zero = true;
      else if (*p == '#')
        field.alternate = true;
      else
        break;
    }
    field.width = readNumber(p);
    if (*p == '.') {
      ++p;
      field.precision = readNumber(p);
    }
    bool shortSize = false;
    if (*p == 'l')
      ++p;
    else if (*p == 'h') {
      shortSize = true;
      ++p;
    }
    char conversion = *p;
    if (conversion == '\0') break;
    ++p;
    switch (conversion) {
      case 'd':
      case 'i': {
        int value = va_arg(arguments, int);
        if (shortSize) value = static_cast<short>(value);
        bool negative = value < 0;
        unsigned magnitude = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
        emitNumber(out, field, conversion, magnitude, negative);
        break;
      }
      case 'u':
      case 'x':
      case 'X': {
        unsigned value = va_arg(arguments, unsigned);
        if (shortSize) value = static_cast<unsigned short>(value);
        emitNumber(out, field, conversion, value, false);
        break;
      }
      case 'c': {
        char c = static_cast<char>(va_arg(arguments, int));
        emitField(out, field, "", &c, 1, false);
        break;
      }
      case 's': {
        const char *text = va_arg(arguments, const char *);
        if (!text) text = "(null)";
        int length = 0;
        while (text[length] && (field.precision < 0 || length < field.precision)) ++length;
        emitField(out, field, "", text, length, false);
        break;
      }
      default:
        out.put(conversion);  // %% and every unsupported conversion
        break;
    }
  }
  buffer[out.length] = '\0';
  return out.length;
}

int tracedFormat(const char *name, char *buffer, const char *format, va_list arguments) {
  if (auto fault = layer::traceCall(name, [&] { return layer::format("\"%s\"", format ? format : ""); })) {
    SetLastError(static_cast<DWORD>(*fault));
    if (buffer) buffer[0] = '\0';
    return 0;
  }
  if (!buffer) return 0;
  if (!format) {
    buffer[0] = '\0';
    return 0;
  }
  return formatInto(buffer, format, arguments);
}

}  // namespace

extern "C" {

int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list arguments) {
  return tracedFormat("wvsprintfA", buffer, format, arguments);
}

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = tracedFormat("wsprintfA", buffer, format, arguments);
  va_end(arguments);
  return length;
}

}  // extern "C"
