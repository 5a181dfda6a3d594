/* The probe of scripts/wine_env.sh: a real 32-bit Windows program. It answers
 * only when it really is one, so that a 64-bit loader cannot stand in. */
#include <stdio.h>

int main(void) {
  if (sizeof(void *) != 4) return 1;
  fputs("32-bit code runs\n", stdout);
  return 32;
}
