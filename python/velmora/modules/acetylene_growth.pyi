"""Surface-growth models of C2H2 on floating catalyst nanoparticles."""
import math as math
from typing import Any, Iterable, Mapping, Optional, Sequence

import numpy as nnp
import numpy.typing as npt
from scipy.integrate import solve_ivp as solve_ivp

class Surface_Kinetics_Puretzky_etal_2005:
    carb_strc_surface: Any
    carb_deactiv: Any
    plot_request: Any
    _Surface_Kinetics_Puretzky_etal_2005__initial_conditions: Any
    P_FEEDSTOCK: Any
    feedstock_gas_name: str
    main_product_species: Any
    reactor_volume: float
    n0: float
    np1: float
    np2: float
    surface_coverage_gp: Any
    gas_NP_time_considered: Any
    H2_STICKING_PROBABILITY: Any
    H2_current_partial_pressure: float
    xnpr: float
    fraction_cnt_gp: float
    gp_coverage_ratio: float
    encapsulation_cond: Any
    current_H2_flux_coeff: float
    dp: float
    NAVA: float
    kb: float
    n_m: float
    alpha: float
    E_a1: float
    E_sb: float
    E_b: float
    E_p: float
    E_rl: float
    k_sb_known: float
    T_known: float
    k_c1: float
    k_d1: float
    k_d2: float
    B: float
    # Set by the _dp setter, by ode_system and by get_final_values.
    species_weight: float
    average_species_weight_product: float
    S_0: float
    particle_area: float
    current_H2_flux: float
    site_per_particle: Optional[float]
    def __init__(
        self,
        carb_strc_surface: Any = True,
        carb_deactiv: Any = True,
        plot_request: Any = True,
        initial_conditions: Sequence[float] = [0, 0, 0, 0, 0, 0],
        P_FEEDSTOCK: Any = 266.645,
        feedstock_gas_name: str = "C2H2",
        main_product_species: Sequence[str] = ["C2H4", "C4H4"],
        reactor_volume: float = 0.0055,
        n0: float = 2.2775521143014057e22,
        np1: float = 10000.0,
        np2: float = 10000.0,
        surface_coverage_gp: Any = 1,
        gas_NP_time_considered: Any = True,
        H2_STICKING_PROB: Any = 0.02,
        H2_current_partial_pressure: float = 1,
        npr: float = 1,
        fra_cnt_gp: float = 0.7,
        gp_cove_rati: float = 0,
        encap_cond: Any = False,
        _current_H2_flux_coeff: float = 0,
    ) -> None: ...
    @property
    def _dp(self) -> float: ...
    @_dp.setter
    def _dp(self, dp_current: float) -> None: ...
    @staticmethod
    def mass_calculator(
        name_of_species: str, dp: Optional[float] = None, npr: Optional[float] = None
    ) -> tuple[float, Optional[float], list[tuple[str, str]]]: ...
    def calculate_k_sb(self, temperature_kelvin: float) -> float: ...
    def calculate_n0(self, temp_C: Any) -> float: ...
    def calculate_n(self, temp_C: float, t: float, y: Optional[Iterable[float]] = None) -> float: ...
    def ode_system(self, t: float, y: Iterable[float], temp_C: float) -> list[float]: ...
    def calculate_length(self, N_t: float) -> float: ...
    def run_surface_kinetics_simulation(
        self, temperatures: Iterable[Any], time_span: Sequence[float]
    ) -> dict[Any, Any]: ...
    def get_final_values(self, results: Mapping[Any, Any]) -> tuple[npt.NDArray[nnp.float64], float]: ...

class Surface_Kinetics_Ma_etal_2005:
    feedstock_gas_name: Any
    main_product_species: str
    xnpr: float
    temp: float
    P_FEEDSTOCK_c2h2: float
    gp_thickness: float
    AA12: Any
    reactor_initial_pressure: float
    surface_coverage_gp: Any
    fraction_cnt_gp: float
    gp_coverage_ratio: float
    encapsulation_cond: Any
    dp: float
    NAVA: float
    kb: float
    R_gas: float
    volume_carbon_atom: Any
    H_diameter: float
    C_diameter: float
    O_diameter: Any
    N_diameter: Any
    mass_C2H2: float
    mass_C4H4: Any
    # Set by the _dp setter.
    NP_area: float
    rho_particle: float
    # Set by main_calculate.
    particle_area: float
    molecule_area_c2h2: float
    molecule_area_dominant_product: float
    P_FEEDSTOCK_dominant_product: float
    gamma: float
    site_per_particle: float
    rho_0: float
    n_c2h2: float
    n_dominant_product: float
    projected_area_per_particle: float
    A_star: float
    v_bar1: float
    kf1: float
    v_bar2: float
    kf2: float
    D0: float
    R: float
    E_act: float
    k3: float
    O_ss: float
    q_C2H2: float
    q_dominant_product: float
    d_outer: float
    d_inner: float
    carbon_atoms_flux: float
    CNT_wall_number: float
    def __init__(
        self,
        feedstock_gas_name: Any = "C2H2",
        main_product_species: str = "C4H4",
        npr: float = 1,
        temp_current: float = 700,
        P_FEEDSTOCK_c2h2: float = 20000.645,
        P_FEEDSTOCK_c4h4: Any = 20000.64,
        gp_thickns: float = 3.4e-10,
        AA12_internal_use: Any = {},
        reactor_init_press: float = 101000,
        surface_coverage_gp: Any = 0.3,
        fra_cnt_gp: float = 0.7,
        gp_cove_rati: float = 0,
        encap_cond: Any = False,
        gp_thickness: float = 10,
    ) -> None: ...
    @property
    def _dp(self) -> float: ...
    @_dp.setter
    def _dp(self, dp_current: float) -> None: ...
    def main_calculate(self) -> float: ...
