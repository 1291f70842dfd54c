// SPDX-License-Identifier: GPL-3.0-or-later
// The header fields of a fetched message.
#include "FuzzSupport.h"

#include "mail/CMessage.h"

using namespace kvorn;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = fuzz::textOf(data, size);
    CMessage message;
    message.CreateFromText(text);
    if (!message.MessageText.isEmpty() && message.MessSize() != text.size())
        qFatal("the message size is not the text's");
    if (message.Headers.size() + message.MessageBody.size() + 4 != message.MessageText.size() &&
        !message.MessageText.isEmpty())
        qFatal("headers and body do not make up the message");
    return 0;
}
