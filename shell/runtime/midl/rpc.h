/* What generated files include as <rpc.h>: this runtime's names (wf_com.h)
 * and the spellings of an IDL compiler's output (wf_midl.h). */
#include "../wf_midl.h"
