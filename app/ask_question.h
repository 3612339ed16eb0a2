// The Yes/No question box. It has no owner, so the updater window stays usable while it is open.
#ifndef ORVFLASH_APP_ASK_QUESTION_H
#define ORVFLASH_APP_ASK_QUESTION_H

#include <cstdarg>

// Returns IDYES or IDNO, or 0 for a null format.
int AskQuestion(const char* format, ...) __attribute__((format(printf, 1, 2)));
int AskQuestionV(const char* format, va_list args);

// Answers No to every question box of the calling thread that is still open.
void DismissOpenQuestions();

#endif
