#pragma once

#include <QString>

namespace kvorn {

/// The reply handler's states that belong to the processing of marked mail. The mail
/// check hands them each complete reply line (without its line end) that begins with "+"
/// while it stands in one of these states.
class MailProcessingStates
{
public:
    virtual ~MailProcessingStates() = default;
    virtual void AwaitUidlForDelete(const QString &reply) = 0;
    virtual void AwaitDeleReply(const QString &reply) = 0;
};

} // namespace kvorn
