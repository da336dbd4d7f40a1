#pragma once

#include <QDate>
#include <QString>

// Keeps the shop from locking itself out: somebody must always be able to
// log in and administer users.  An administrator here is an account that is
// enabled, whose password has not expired, and that holds 用户管理 (4001)
// together with its 系统权限 (400132), granted directly, through a role, by a
// grant of a function above them, or because they are public.
namespace AccountGuard {

inline constexpr const char16_t* LockOutText = u"至少要保留一个可以管理用户的有效账号！";
inline constexpr const char16_t* CurrentUserText = u"不能停用当前登录的用户！";

// Whether an account with these flags can log in on `today`.
bool IsAccountValid(bool isUse, bool passNotOver, const QDate& passOverDate, const QDate& today);

// The number of administrators as the database stands (inside the caller's
// transaction, so uncommitted changes count); -1 when it could not be read.
int CountAdministrators();

// Run inside a transaction around a change: Before() counts the
// administrators, Allows() counts again afterwards and is false when the
// change would leave none where there was one (or the count failed), so the
// caller rolls back.  A database that had none already is not held to it.
class Check
{
public:
    Check() : m_before(CountAdministrators()) {}
    bool Allows() const;

private:
    int m_before;
};

} // namespace AccountGuard
