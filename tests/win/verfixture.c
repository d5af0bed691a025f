int verfixture_unused;
