/* Preloaded into the 32-bit Wine processes that run under qemu-i386.
 *
 * Wine's i386 fault handlers tell a page fault from an illegal instruction by
 * the trap number in the signal frame, and qemu-user writes -1 there. Every
 * access violation, guard page and write watch would then reach the program as
 * an illegal instruction. The handlers Wine installs for the fault signals are
 * wrapped so that they see the trap number the kernel would have written,
 * derived from the signal and its si_code.
 *
 * Built for both architectures: LD_PRELOAD names it through $LIB, so the
 * 64-bit processes of the same run load the empty x86-64 build instead of
 * failing to load this one. */
#if defined(__i386__)
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stddef.h>
#include <ucontext.h>

typedef void (*Handler)(int, siginfo_t *, void *);
typedef int (*SigactionFn)(int, const struct sigaction *, struct sigaction *);

/* The x86 exception vectors, as the kernel writes them. */
enum {
  kDivide = 0,
  kDebug = 1,
  kBreakpoint = 3,
  kOverflow = 4,
  kInvalidOpcode = 6,
  kGeneralProtection = 13,
  kPageFault = 14,
  kFpu = 16,
  kAlignment = 17,
};

static Handler handlers[NSIG];

static int is_fault(int sig) {
  return sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE || sig == SIGTRAP;
}

static int trap_number(int sig, const siginfo_t *info) {
  switch (sig) {
    case SIGSEGV:
      /* SI_KERNEL is the kernel's code for a general-protection fault. */
      return info->si_code == SI_KERNEL ? kGeneralProtection : kPageFault;
    case SIGBUS:
      return info->si_code == BUS_ADRALN ? kAlignment : kPageFault;
    case SIGILL:
      return kInvalidOpcode;
    case SIGFPE:
      if (info->si_code == FPE_INTDIV) return kDivide;
      if (info->si_code == FPE_INTOVF) return kOverflow;
      return kFpu;
    case SIGTRAP:
      return info->si_code == TRAP_TRACE || info->si_code == TRAP_HWBKPT ? kDebug : kBreakpoint;
  }
  return -1;
}

static void with_trap_number(int sig, siginfo_t *info, void *context) {
  ((ucontext_t *)context)->uc_mcontext.gregs[REG_TRAPNO] = trap_number(sig, info);
  handlers[sig](sig, info, context);
}

int sigaction(int sig, const struct sigaction *action, struct sigaction *old) {
  static SigactionFn real;
  if (!real) real = (SigactionFn)dlsym(RTLD_NEXT, "sigaction");
  if (sig <= 0 || sig >= NSIG || !is_fault(sig)) return real(sig, action, old);

  Handler previous = handlers[sig];
  int result;
  if (action && (action->sa_flags & SA_SIGINFO)) {
    struct sigaction wrapped = *action;
    wrapped.sa_sigaction = with_trap_number;
    handlers[sig] = action->sa_sigaction;
    result = real(sig, &wrapped, old);
    if (result != 0) handlers[sig] = previous;
  } else {
    result = real(sig, action, old);
  }
  /* The caller is told of the handler it installed, never of the wrapper. */
  if (result == 0 && old && (old->sa_flags & SA_SIGINFO) && old->sa_sigaction == with_trap_number)
    old->sa_sigaction = previous;
  return result;
}
#endif
