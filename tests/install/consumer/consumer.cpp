// Builds against an installed libtessivane and uses its array layer.
#include <tessivane/nrutil.h>
#include <tessivane/stat.h>

#include <cstdio>

int main()
{
    float **m = matrix(1, 2, 1, 3);
    for (long i = 1; i <= 2; i++)
        for (long j = 1; j <= 3; j++)
            m[i][j] = static_cast<float>(10 * i + j);
    float corner = m[2][3];
    free_matrix(m, 1, 2, 1, 3);
    if (corner != 23.0f) {
        std::printf("consumer: wrong element %g\n", corner);
        return 1;
    }
    std::printf("consumer: ok\n");
    return 0;
}
