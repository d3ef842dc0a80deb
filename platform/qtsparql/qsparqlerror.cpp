// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qsparqlerror.h"

QSparqlError::QSparqlError(const QString &message, ErrorType type)
    : m_message(message)
    , m_type(type)
{
}
