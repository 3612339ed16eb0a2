// Resource ids shared by framework_tests.rc and the tests.
#define IDD_TEST_DIALOG 100
#define IDC_TEST_GO 1002
#define IDS_TEST_SHORT 200
#define IDS_TEST_LONG 201
#define IDS_TEST_MISSING 299
