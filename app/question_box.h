// The Yes/No question box. It has no owner, so the updater window stays usable while it is open.
#ifndef ORVFLASH_APP_QUESTION_BOX_H
#define ORVFLASH_APP_QUESTION_BOX_H

// Returns IDYES or IDNO, or 0 when the box could not be shown. With `defaultNo`, Enter answers No.
int ShowQuestion(const char* text, bool defaultNo = false);

// Answers No to every question box of the calling thread that is still open.
void DismissOpenQuestions();

#endif
