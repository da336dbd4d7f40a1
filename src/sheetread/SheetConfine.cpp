#include "SheetConfine.h"

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

#if defined(__x86_64__)
constexpr unsigned int Arch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned int Arch = AUDIT_ARCH_AARCH64;
#elif defined(__i386__)
constexpr unsigned int Arch = AUDIT_ARCH_I386;
#else
#error "no system-call filter for this architecture"
#endif

constexpr rlim_t MemoryLimit = 512UL * 1024 * 1024;
constexpr rlim_t CpuSeconds = 20;
constexpr rlim_t OpenFiles = 16;

bool Limit(int resource, rlim_t soft, rlim_t hard)
{
    const rlimit limit{soft, hard};
    return setrlimit(resource, &limit) == 0;
}

// System calls refused outright (with EACCES): the network, new processes
// and programs, signals to other processes, and every change to the file
// system.  A call this list does not name and that is not an open is allowed.
const std::vector<long>& Refused()
{
    static const std::vector<long> calls{
        SYS_socket,
        SYS_socketpair,
        SYS_connect,
        SYS_bind,
        SYS_listen,
        SYS_accept4,
        SYS_sendto,
        SYS_sendmsg,
        SYS_execve,
        SYS_execveat,
        SYS_clone,
        SYS_ptrace,
        SYS_kill,
        SYS_tkill,
        SYS_tgkill,
        SYS_process_vm_writev,
        SYS_process_vm_readv,
        SYS_mkdirat,
        SYS_unlinkat,
        SYS_renameat,
        SYS_linkat,
        SYS_symlinkat,
        SYS_fchmod,
        SYS_fchmodat,
        SYS_fchown,
        SYS_fchownat,
        SYS_truncate,
        SYS_ftruncate,
        SYS_mknodat,
        SYS_mount,
        SYS_memfd_create,
        SYS_name_to_handle_at,
        SYS_open_by_handle_at,
        SYS_io_uring_setup,
        SYS_bpf,
        SYS_setxattr,
        SYS_fsetxattr,
        SYS_lsetxattr,
        SYS_utimensat,
        SYS_fallocate,
        SYS_renameat2,
        SYS_openat2,
#ifdef SYS_clone3
        SYS_clone3,
#endif
#ifdef SYS_accept
        SYS_accept,
#endif
#ifdef SYS_fork
        SYS_fork,
        SYS_vfork,
        SYS_creat,
        SYS_mkdir,
        SYS_rmdir,
        SYS_unlink,
        SYS_rename,
        SYS_link,
        SYS_symlink,
        SYS_chmod,
        SYS_chown,
        SYS_lchown,
        SYS_mknod,
        SYS_utime,
        SYS_utimes,
        SYS_futimesat,
#endif
    };
    return calls;
}

} // namespace

bool ConfineProcess()
{
    // Dies with the program that started it.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() == 1)
        return false;
    // Processor time: SIGXCPU at the soft limit, SIGKILL a second later.
    if (!Limit(RLIMIT_AS, MemoryLimit, MemoryLimit) || !Limit(RLIMIT_CPU, CpuSeconds, CpuSeconds + 1) ||
        !Limit(RLIMIT_FSIZE, 0, 0) || !Limit(RLIMIT_CORE, 0, 0) ||
        !Limit(RLIMIT_NOFILE, OpenFiles, OpenFiles))
        return false;
    // Nothing inherited beyond the standard three.
    syscall(SYS_close_range, 3U, ~0U, 0U);
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_DUMPABLE, 0) != 0)
        return false;

    constexpr unsigned int Deny = SECCOMP_RET_ERRNO | (EACCES & SECCOMP_RET_DATA);
    constexpr unsigned int WriteFlags =
        O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND | (O_TMPFILE & ~O_DIRECTORY);
    std::vector<sock_filter> filter{
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, Arch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    };
#if defined(__x86_64__)
    // The x32 calls of the same kernel are another numbering: none of them.
    filter.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000, 0, 1));
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, Deny));
#endif
    for (const long call : Refused()) {
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned int>(call), 0, 1));
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, Deny));
    }
    // Opens for reading only: the flags are the second argument of open and
    // the third of openat (their low 32 bits on a little-endian machine).
    const auto checkFlags = [&](long call, int argument) {
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned int>(call), 0, 3));
        filter.push_back(
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS,
                     static_cast<unsigned int>(offsetof(seccomp_data, args) + argument * sizeof(__u64))));
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, WriteFlags, 0, 1));
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, Deny));
        // Either way on: reload the call number for the next test.
        filter.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
    };
    checkFlags(SYS_openat, 2);
#ifdef SYS_open
    checkFlags(SYS_open, 1);
#endif
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));

    const sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    return prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}
