/* Prints the properties of the target's C ABI that portable code must not assume, as seen by the
   compiler and the running program. Built and run by scripts/port-test.sh before the project itself. */
#include <limits.h>
#include <stdalign.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

struct constant_row {
  const char *name;
  uint32_t zero;
  double value;
};

int main(void) {
  const uint32_t word = 0x01020304u;
  const unsigned char *bytes = (const unsigned char *)&word;
  printf("byte order: %s\n", bytes[0] == 1 ? "big-endian" : "little-endian");
  printf("char: %s\n", CHAR_MIN < 0 ? "signed" : "unsigned");
  printf("sizeof: short %u, int %u, long %u, long long %u, pointer %u, size_t %u, double %u, long double %u\n",
         (unsigned)sizeof(short), (unsigned)sizeof(int), (unsigned)sizeof(long), (unsigned)sizeof(long long),
         (unsigned)sizeof(void *), (unsigned)sizeof(size_t), (unsigned)sizeof(double),
         (unsigned)sizeof(long double));
  printf("alignof: int64_t %u, double %u, max_align_t %u\n", (unsigned)alignof(int64_t),
         (unsigned)alignof(double), (unsigned)alignof(max_align_t));
  printf("record (pointer, uint32, double): size %u, double at offset %u\n",
         (unsigned)sizeof(struct constant_row), (unsigned)offsetof(struct constant_row, value));
  return 0;
}
