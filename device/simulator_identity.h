/* How the simulated Kavix tells itself apart from the maker's orv_api.dll. Plain defines: the
   version resource script reads them too. */
#ifndef ORV_SIMULATOR_IDENTITY_H
#define ORV_SIMULATOR_IDENTITY_H

/* The product name in its version resource, which orvflash reads to know the simulator. */
#define ORV_SIMULATOR_PRODUCT_NAME "Simulated Kavix"

/* The exit code of a process that a simulated power loss ends: none of orvflash's own, so that a
   cut is never taken for an outcome of the run. */
#define ORV_SIMULATOR_POWER_LOSS_EXIT_CODE 99

#endif
